// A tunnel for any HTTP request: with the library's defaults only the plain POST to
// "/qel" is served; qelcs-host turns forward_any_request on, and then any method on any
// path below "/qel" reaches a poll that accepts it, with the caller's end-to-end headers,
// and the remote side's status, type and headers (repeats and order kept) come back. A
// plain poll is never handed anything but the plain POST. The remote side is played by
// hand here, as a client that declares the capability.
#include <gtest/gtest.h>
#include <unistd.h>

#include <future>
#include <thread>

#include "e2e_host.h"
#include "e2e_support.h"
#include "qelToolsLib/qelHeaderBlock.h"
#include "tests/support/raw_socket.h"
#include "tunnel_fixture.h"

namespace {

using e2e::local_url;
using qelToolsLib::HeaderLines;

// A raw request answered in full (the connection is closed after it).
std::future<std::string> raw_call(int port, const std::string& request) {
  return std::async(std::launch::async, [port, request] {
    const int fd = qeltest::connect_local(port);
    if (fd < 0) return std::string("no connection");
    qeltest::send_all(fd, request);
    std::string answer = qeltest::read_all(fd, 30);
    close(fd);
    return answer;
  });
}

bool pending(std::future<std::string>& call) {
  return call.wait_for(std::chrono::milliseconds(e2e::settle_ms())) != std::future_status::ready;
}

// The header lines of a raw answer, in order.
HeaderLines answer_headers(const std::string& answer) {
  HeaderLines lines;
  std::size_t at = answer.find("\r\n") + 2;
  const std::size_t end = answer.find("\r\n\r\n");
  while (at < end) {
    const std::size_t eol = answer.find("\r\n", at);
    const std::string line = answer.substr(at, eol - at);
    const auto colon = line.find(": ");
    lines.emplace_back(line.substr(0, colon), line.substr(colon + 2));
    at = eol + 2;
  }
  return lines;
}

std::vector<std::string> values_of(const HeaderLines& lines, const std::string& name) {
  std::vector<std::string> values;
  for (const auto& [n, v] : lines)
    if (n == name) values.push_back(v);
  return values;
}

// A poll of a client that accepts any request, answering `flow` (empty: a join).
e2e::header_lines capable_poll(const std::string& flow = "", const std::string& status = "",
                               const std::string& instance = "") {
  e2e::header_lines h = {"X-QEL-Client: hand-played", "X-QEL-Accept: any-request",
                         "X-QEL-Message-Id: " + (flow.empty() ? std::string("join") : flow)};
  if (!status.empty()) h.push_back("X-QEL-Status-Code: " + status);
  if (!instance.empty()) h.push_back("X-QEL-Instance: " + instance);
  return h;
}

}  // namespace

TEST_F(TunnelTest, WithTheLibrarysDefaultsOnlyThePlainPostIsServed) {
  EXPECT_EQ(405, e2e::http_get(server().url("/qel"), {}, 10000).status);
  EXPECT_EQ(404, e2e::http_post(server().url("/qel/sub"), "x", {}, 10000).status);
  EXPECT_EQ(404, e2e::http_post(server().url("/qelx"), "x", {}, 10000).status);
}

TEST(CarriedRequests, OnlyACapablePollGetsThemAndTheRemoteReplyComesBackExactly) {
  e2e::temp_dir dir;
  const int port = e2e::free_port();
  auto host = e2e::run_host({"--listener-settings-1", e2e::loopback_settings(port)}, dir.path());
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  const std::string polls = local_url(port, "/qel/reverseConnection");
  // A plain poll is parked; the GET is not for it.
  auto plain = e2e::http_post_async(polls, "", {"Content-Type:"}, 30000);
  auto get = raw_call(port, "GET /qel/api/x?y=1&z=%20 HTTP/1.1\r\nHost: h\r\nAccept: application/json\r\n"
                            "Authorization: Bearer abc\r\nX-Custom: one\r\nX-Custom: two\r\n"
                            "Connection: close\r\n\r\n");
  EXPECT_TRUE(pending(get));
  EXPECT_FALSE(e2e::ready_within(plain, 0));
  const auto carried = e2e::http_post(polls, "", capable_poll(), 20000);
  ASSERT_EQ(200, carried.status);
  EXPECT_EQ("GET", carried.header("X-QEL-Method"));
  EXPECT_EQ("/qel/api/x?y=1&z=%20", carried.header("X-QEL-Location"));
  HeaderLines sent;
  std::string error;
  ASSERT_TRUE(qelToolsLib::DecodeHeaderBlock(carried.header("X-QEL-Headers"), sent, error)) << error;
  EXPECT_EQ(sent, (HeaderLines{{"Accept", "application/json"}, {"Authorization", "Bearer abc"},
                               {"X-Custom", "one"}, {"X-Custom", "two"}}));  // no Host, no Connection
  // The remote side redirects: status, type, headers and their repeats come back as sent.
  const HeaderLines reply = {{"Location", "/qel/elsewhere"}, {"ETag", "\"v1\""}, {"Set-Cookie", "a=1"},
                             {"Cache-Control", "no-store"}, {"Set-Cookie", "b=2; Path=/"}};
  e2e::header_lines answer = capable_poll(carried.header("X-QEL-Message-Id"), "302",
                                          carried.header("X-QEL-Instance"));
  answer.push_back("Content-Type: application/json");
  answer.push_back("X-QEL-Headers: " + qelToolsLib::EncodeHeaderBlock(reply, error));
  auto answering = e2e::http_post_async(polls, "{\"moved\":true}", answer, 30000);
  const std::string got = get.get();
  EXPECT_EQ(302, qeltest::raw_status(got)) << got;
  const HeaderLines back = answer_headers(got);
  EXPECT_EQ(values_of(back, "Set-Cookie"), (std::vector<std::string>{"a=1", "b=2; Path=/"}));
  EXPECT_EQ(values_of(back, "Location"), (std::vector<std::string>{"/qel/elsewhere"}));
  EXPECT_EQ(values_of(back, "ETag"), (std::vector<std::string>{"\"v1\""}));
  EXPECT_EQ(values_of(back, "Cache-Control"), (std::vector<std::string>{"no-store"}));
  EXPECT_EQ(values_of(back, "Content-Type"), (std::vector<std::string>{"application/json"}));
  EXPECT_TRUE(values_of(back, "X-QEL-Message-Id").empty()) << got;  // no echo of the caller's
  EXPECT_EQ("{\"moved\":true}", got.substr(got.find("\r\n\r\n") + 4));
  // A plain POST to "/qel" may go to the plain poll, in the plain form.
  auto post = e2e::http_post_async(local_url(port, "/qel"), "plain", {"Content-Type: text/plain", "X-Private: p"}, 30000);
  const auto plain_carried = plain.get();
  EXPECT_EQ("plain", plain_carried.body);
  EXPECT_EQ("POST", plain_carried.header("X-QEL-Method"));
  EXPECT_EQ("/qel", plain_carried.header("X-QEL-Location"));
  EXPECT_FALSE(plain_carried.has_header("X-QEL-Headers"));
  auto plain_answer = e2e::http_post_async(polls, "done", {"X-QEL-Message-Id: " + plain_carried.header("X-QEL-Message-Id"),
                                                           "X-QEL-Status-Code: 200"}, 30000);
  EXPECT_EQ("done", post.get().body);
  // What the tunnel does not carry.
  EXPECT_EQ(404, qeltest::raw_status(qeltest::raw_exchange(port, "GET /qelx HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n")));
  EXPECT_EQ(501, qeltest::raw_status(qeltest::raw_exchange(port, "CONNECT h:443 HTTP/1.1\r\nHost: h:443\r\n\r\n")));
  EXPECT_EQ(501, qeltest::raw_status(qeltest::raw_exchange(
                     port, "GET /qel/ws HTTP/1.1\r\nHost: h\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n\r\n")));
  EXPECT_EQ(0, host->stop(SIGTERM, 30000)) << host->output();
  answering.wait();
  plain_answer.wait();
}
