// qelcs-remote carrying any request (method, location with query, end-to-end headers
// both ways) between a host and a target that the test plays by hand, so every byte the
// client sends to either is seen and every answer is chosen here.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>

#include "e2e_scripted_server.h"
#include "e2e_support.h"
#include "qelToolsLib/qelHeaderBlock.h"

namespace {

using qelToolsLib::HeaderLines;

std::string encode(const HeaderLines& headers) {
  std::string error;
  return qelToolsLib::EncodeHeaderBlock(headers, error);
}

HeaderLines decode(const std::string& block) {
  HeaderLines headers;
  std::string error;
  EXPECT_TRUE(qelToolsLib::DecodeHeaderBlock(block, headers, error)) << error;
  return headers;
}

// The request line of a request ("GET /x HTTP/1.1").
std::string request_line(const std::string& request) { return request.substr(0, request.find("\r\n")); }

// The client between a scripted host and a scripted target, one poller.
class AnyRequest : public ::testing::Test {
 protected:
  void SetUp() override {
    remote_ = std::make_unique<e2e::child_process>(
        std::vector<std::string>{e2e::program_path("qelcs-remote"), "--poll", host_.url("/qel/reverseConnection"),
                                 "--target", target_.url(""), "--pollers", "1", "--status-interval", "0"},
        dir_.file("remote.out"), dir_.path());
    poll_ = host_.next_request(10000);
    ASSERT_NE("", poll_) << remote_->output();
  }
  void TearDown() override {
    if (remote_) remote_->stop(SIGKILL, 10000);
  }

  // Hands the client a request in the response to its open poll; returns what the
  // target receives ("" when nothing reached it within a second).
  std::string hand_out(int flow, const std::string& method, const std::string& location,
                       const std::string& extra_head, const std::string& body) {
    check_poll(poll_);
    host_.answer("X-QEL-Message-Id: " + std::to_string(flow) + "\r\nX-QEL-Method: " + method +
                     "\r\nX-QEL-Location: " + location + "\r\n" + extra_head,
                 body);
    return target_.next_request(1000);
  }
  // The poll that carries the answer, after the target replied `response`.
  std::string answer_after(const std::string& response) {
    target_.reply(response);
    poll_ = host_.next_request(10000);
    return poll_;
  }
  // The answer poll that comes without the target (the client answered itself).
  std::string next_poll() {
    poll_ = host_.next_request(10000);
    return poll_;
  }
  static void check_poll(const std::string& poll) {
    EXPECT_EQ("any-request", e2e::header_of(poll, "X-QEL-Accept")) << poll;
    EXPECT_NE("", e2e::header_of(poll, "X-QEL-Client")) << poll;
  }

  e2e::temp_dir dir_;
  e2e::scripted_server host_;
  e2e::scripted_server target_;
  std::unique_ptr<e2e::child_process> remote_;
  std::string poll_;
};

TEST_F(AnyRequest, MethodLocationAndHeadersReachTheTargetAndComeBackExactly) {
  // GET with a query and the caller's headers: the target sees them all, and nothing
  // the caller did not send (no Accept, no User-Agent, no body length).
  const std::string get = hand_out(
      1, "GET", "/qel/api/x?y=1&z=%20",
      "X-QEL-Headers: " +
          encode({{"Accept", "application/json"}, {"Authorization", "Bearer t0k"}, {"X-Custom", "a, b"},
                  {"X-Custom", "c"}, {"Connection", "close"}}) + "\r\n",
      "");
  EXPECT_EQ("GET /qel/api/x?y=1&z=%20 HTTP/1.1", request_line(get)) << get;
  EXPECT_EQ("application/json", e2e::header_of(get, "Accept"));
  EXPECT_EQ("Bearer t0k", e2e::header_of(get, "Authorization"));
  EXPECT_NE(std::string::npos, get.find("X-Custom: a, b\r\nX-Custom: c\r\n")) << get;
  EXPECT_EQ("127.0.0.1:" + std::to_string(target_.port()), e2e::header_of(get, "Host"));
  EXPECT_EQ("", e2e::header_of(get, "User-Agent"));
  EXPECT_EQ("", e2e::header_of(get, "Content-Length"));
  EXPECT_EQ("", e2e::header_of(get, "Connection"));  // hop-by-hop: not carried
  // The answer: status, Content-Type, the end-to-end headers in order (both Set-Cookie
  // lines), the body; not the framing headers, Date or Server.
  const std::string answer = answer_after(
      "HTTP/1.1 200 OK\r\nDate: Mon, 07 Dec 2026 03:00:00 GMT\r\nServer: t\r\nContent-Type: application/json\r\n"
      "ETag: \"v1\"\r\nCache-Control: max-age=60\r\nSet-Cookie: a=1; Path=/\r\nSet-Cookie: b=2\r\n"
      "Content-Length: 9\r\n\r\n{\"ok\":1}\n");
  EXPECT_EQ("1", e2e::header_of(answer, "X-QEL-Message-Id")) << answer;
  EXPECT_EQ("200", e2e::header_of(answer, "X-QEL-Status-Code"));
  EXPECT_EQ("application/json", e2e::header_of(answer, "Content-Type"));
  EXPECT_EQ((HeaderLines{{"ETag", "\"v1\""}, {"Cache-Control", "max-age=60"},
                         {"Set-Cookie", "a=1; Path=/"}, {"Set-Cookie", "b=2"}}),
            decode(e2e::header_of(answer, "X-QEL-Headers")));
  EXPECT_EQ("{\"ok\":1}\n", e2e::body_of(answer));

  // PUT with a body and its Content-Type.
  const std::string put = hand_out(2, "PUT", "/qel/setting", "Content-Type: text/plain\r\n", "value=7");
  EXPECT_EQ("PUT /qel/setting HTTP/1.1", request_line(put)) << put;
  EXPECT_EQ("text/plain", e2e::header_of(put, "Content-Type"));
  EXPECT_EQ("value=7", e2e::body_of(put));
  // DELETE answered 204: no body either way.
  answer_after("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  const std::string del = hand_out(3, "DELETE", "/qel/job/4", "", "");
  EXPECT_EQ("DELETE /qel/job/4 HTTP/1.1", request_line(del));
  std::string answered = answer_after("HTTP/1.1 204 No Content\r\nX-Job: gone\r\n\r\n");
  EXPECT_EQ("204", e2e::header_of(answered, "X-QEL-Status-Code")) << answered;
  EXPECT_EQ("", e2e::body_of(answered));
  EXPECT_EQ((HeaderLines{{"X-Job", "gone"}}), decode(e2e::header_of(answered, "X-QEL-Headers")));
  // HEAD: the response states a length but has no body; the client does not wait for one.
  EXPECT_EQ("HEAD /qel/file HTTP/1.1", request_line(hand_out(4, "HEAD", "/qel/file", "", "")));
  answered = answer_after("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 1000\r\n\r\n");
  EXPECT_EQ("200", e2e::header_of(answered, "X-QEL-Status-Code")) << answered;
  EXPECT_EQ("", e2e::body_of(answered));
  // A conditional GET answered 304.
  const std::string conditional =
      hand_out(5, "GET", "/qel/doc", "X-QEL-Headers: " + encode({{"If-None-Match", "\"v1\""}}) + "\r\n", "");
  EXPECT_EQ("\"v1\"", e2e::header_of(conditional, "If-None-Match"));
  answered = answer_after("HTTP/1.1 304 Not Modified\r\nETag: \"v1\"\r\n\r\n");
  EXPECT_EQ("304", e2e::header_of(answered, "X-QEL-Status-Code")) << answered;
  // A redirect goes back to the caller; the client does not follow it.
  hand_out(6, "GET", "/qel/old", "", "");
  answered = answer_after("HTTP/1.1 302 Found\r\nLocation: /qel/new\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ("302", e2e::header_of(answered, "X-QEL-Status-Code")) << answered;
  EXPECT_EQ((HeaderLines{{"Location", "/qel/new"}}), decode(e2e::header_of(answered, "X-QEL-Headers")));
  // Compressed bodies stay compressed; a chunked body comes back whole.
  hand_out(7, "GET", "/qel/z", "X-QEL-Headers: " + encode({{"Accept-Encoding", "gzip"}}) + "\r\n", "");
  const std::string gzip("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
  answered = answer_after("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n"
                          "4\r\n" + gzip.substr(0, 4) + "\r\n6\r\n" + gzip.substr(4) + "\r\n0\r\n\r\n");
  EXPECT_EQ(gzip, e2e::body_of(answered));
  EXPECT_EQ((HeaderLines{{"Content-Encoding", "gzip"}}), decode(e2e::header_of(answered, "X-QEL-Headers")));
  EXPECT_EQ(7, target_.requests());  // one request each: nothing retried or followed
}

TEST_F(AnyRequest, HeadersThatCannotBeCarriedGive502) {
  // Response headers over the bound: the caller gets 502 with one line saying why.
  hand_out(1, "GET", "/qel/big", "", "");
  std::string big;
  for (int i = 0; i < 40; ++i) big += "Set-Cookie: c" + std::to_string(i) + "=" + std::string(500, 'x') + "\r\n";
  std::string answered = answer_after("HTTP/1.1 200 OK\r\n" + big + "Content-Length: 2\r\n\r\nok");
  EXPECT_EQ("502", e2e::header_of(answered, "X-QEL-Status-Code")) << answered;
  EXPECT_EQ("text/plain", e2e::header_of(answered, "Content-Type"));
  EXPECT_EQ("", e2e::header_of(answered, "X-QEL-Headers"));
  std::string text = e2e::body_of(answered);
  EXPECT_NE(std::string::npos, text.find("cannot be carried")) << text;
  EXPECT_EQ(text.size() - 1, text.find('\n'));  // one line
  // A header name that is not an HTTP token cannot be encoded: 502 as well.
  hand_out(2, "GET", "/qel/odd", "", "");
  answered = answer_after("HTTP/1.1 200 OK\r\nBad Name: x\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ("502", e2e::header_of(answered, "X-QEL-Status-Code")) << answered;
  // A request whose headers the client cannot read never reaches the target.
  check_poll(poll_);
  host_.answer("X-QEL-Message-Id: 3\r\nX-QEL-Method: GET\r\nX-QEL-Location: /qel\r\nX-QEL-Headers: %%%\r\n", "");
  answered = next_poll();
  EXPECT_EQ("3", e2e::header_of(answered, "X-QEL-Message-Id")) << answered;
  EXPECT_EQ("502", e2e::header_of(answered, "X-QEL-Status-Code"));
  EXPECT_EQ(2, target_.requests());
}

}  // namespace
