// The header block of the tunnel's any-request extension: exact round trips, refusal of
// what is not a block of header lines, and which headers travel end to end.
#include <gtest/gtest.h>

#include "qelToolsLib/qelHeaderBlock.h"

using namespace qelToolsLib;

TEST(HeaderBlock, RoundTripKeepsNamesValuesRepeatsAndOrderExactly) {
  const HeaderLines headers = {{"Set-Cookie", "a=1; Path=/"},
                               {"x-lower-case", ""},
                               {"Set-Cookie", "b=2"},
                               {"ETag", "\"v1\""},
                               {"Cache-Control", "no-cache, private"},
                               {"X-Bytes", "caf\xc3\xa9 \t tab"}};
  std::string error;
  const std::string block = EncodeHeaderBlock(headers, error);
  ASSERT_FALSE(block.empty()) << error;
  EXPECT_EQ(block.find_first_of("\r\n :"), std::string::npos);  // one header value
  HeaderLines back;
  ASSERT_TRUE(DecodeHeaderBlock(block, back, error)) << error;
  EXPECT_EQ(back, headers);
  EXPECT_TRUE(DecodeHeaderBlock("", back, error));
  EXPECT_TRUE(back.empty());
  EXPECT_EQ(EncodeHeaderBlock({}, error), "");
}

TEST(HeaderBlock, WhatCannotBeAHeaderLineIsRefusedBothWays) {
  std::string error;
  for (const auto& bad : HeaderLines{{"Bad Name", "v"}, {"", "v"}, {"X", "a\r\nInjected: 1"},
                                     {"X", std::string("nul\0byte", 8)}, {"Caf\xc3\xa9", "v"}}) {
    EXPECT_EQ(EncodeHeaderBlock({bad}, error), "") << bad.first;
    EXPECT_FALSE(error.empty());
  }
  HeaderLines out;
  // "not base64", base64 of a line without ": ", of a line without its CRLF, a valid
  // block with something after it, a byte outside the alphabet that libsodium reads as
  // a digit, and padding bits that are not zero.
  for (const char* block : {"***", "WC12", "WDogdg==", "WDogdg0K!", "WDogdg0\xf8", "WDogdnYNCh=="}) {
    EXPECT_FALSE(DecodeHeaderBlock(block, out, error)) << block;
    EXPECT_TRUE(out.empty());
  }
  ASSERT_TRUE(DecodeHeaderBlock("WDogdg0K", out, error)) << error;  // "X: v\r\n"
  EXPECT_EQ(out, (HeaderLines{{"X", "v"}}));
  ASSERT_TRUE(DecodeHeaderBlock("WDogdnYNCg==", out, error)) << error;  // the canonical "X: vv\r\n"
  EXPECT_EQ(out, (HeaderLines{{"X", "vv"}}));
}

TEST(HeaderBlock, OnlyEndToEndHeadersTravel) {
  const HeaderLines request = {{"Host", "h"},           {"Connection", "keep-alive, X-Private"},
                               {"X-Private", "hop"},    {"Keep-Alive", "5"},
                               {"Transfer-Encoding", "chunked"}, {"Content-Length", "3"},
                               {"Content-Type", "text/plain"},   {"Authorization", "Bearer t"},
                               {"Accept", "application/json"},   {"If-None-Match", "\"v1\""},
                               {"X-QEL-Message-Id", "7"},        {"upgrade", "websocket"},
                               {"Date", "today"}};
  const HeaderLines kept = {{"Authorization", "Bearer t"},
                            {"Accept", "application/json"},
                            {"If-None-Match", "\"v1\""},
                            {"Date", "today"}};
  EXPECT_EQ(EndToEndHeaders(request, false), kept);
  const HeaderLines response = {{"Date", "today"}, {"Server", "nginx"}, {"ETag", "\"v2\""},
                                {"Proxy-Authenticate", "Basic"}};
  EXPECT_EQ(EndToEndHeaders(response, true), (HeaderLines{{"ETag", "\"v2\""}}));
}
