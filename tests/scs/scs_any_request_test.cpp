// Resources registered with SCS_POST_ANY_REQUEST, on the wire through raw sockets: the
// methods and paths they take and refuse, the request-target and header block a
// callback reads, response headers in order, answers without content, and the header
// size limit answered once.
#include <unistd.h>

#include <cstring>
#include <mutex>

#include "scs_test_support.h"

using namespace qeltest;

namespace {

// What the last any-request callback saw.
struct Seen {
  std::string method, resource, target, headers;
  int calls = 0;
};
std::mutex g_seen_mutex;
Seen g_seen;

Seen seen() {
  std::lock_guard<std::mutex> lock(g_seen_mutex);
  return g_seen;
}

std::string take_block(std::uint32_t code, char* block) {
  EXPECT_EQ(0u, code);
  const std::string text = block != nullptr ? block : "<null>";
  SCS_Free(block);
  return text;
}

// Records the request and answers "<method> <resource>" with two Set-Cookie headers
// around another one; the status comes from the X-Status header (200 without one).
std::uint32_t recording(std::uint32_t, std::uint32_t, const std::uint8_t*, std::uint32_t,
                        std::uint8_t** response, std::uint32_t* length,
                        const SCS_REQUEST* request) {
  char* target = nullptr;
  char* headers = nullptr;
  Seen now;
  now.method = request->method;
  now.resource = request->resource;
  const std::uint32_t target_status = SCS_SERVER_GetRequestTarget(request->request_handle, &target);
  now.target = take_block(target_status, target);
  const std::uint32_t headers_status = SCS_SERVER_GetRequestHeaders(request->request_handle, &headers);
  now.headers = take_block(headers_status, headers);
  {
    std::lock_guard<std::mutex> lock(g_seen_mutex);
    now.calls = g_seen.calls + 1;
    g_seen = now;
  }
  char* status = nullptr;
  SCS_SERVER_GetRequestHeader(request->request_handle, "X-Status", 0, &status);
  if (status != nullptr) SCS_SERVER_SetHttpStatus(request->request_handle, std::stoi(status));
  SCS_Free(status);
  SCS_SERVER_AddResponseHeader(request->request_handle, "Set-Cookie", "a=1");
  SCS_SERVER_AddResponseHeader(request->request_handle, "x-Lower", "b");
  SCS_SERVER_AddResponseHeader(request->request_handle, "Set-Cookie", "c=2");
  const std::string body = now.method + " " + now.resource;
  *response = static_cast<std::uint8_t*>(SCS_Allocate(static_cast<std::uint32_t>(body.size())));
  std::memcpy(*response, body.data(), body.size());
  *length = static_cast<std::uint32_t>(body.size());
  return 0;
}

std::string request(const std::string& method, const std::string& target,
                    const std::string& extra = "") {
  return method + " " + target + " HTTP/1.1\r\nHost: h\r\n" + extra +
         "Connection: close\r\nContent-Length: 0\r\n\r\n";
}

class AnyRequestTest : public ScsTest {
 protected:
  void SetUp() override {
    ScsTest::SetUp();
    ASSERT_EQ(0u, add("port = 0", "", listener_));
    ASSERT_EQ(0u, SCS_SERVER_RegisterOnPostData(listener_, "/qel", 7, &recording,
                                                SCS_POST_MODE_BUFFERED | SCS_POST_ANY_REQUEST));
    ASSERT_EQ(0u, serve(listener_, "/qel/reverseConnection", [](const TestRequest&, std::string& a) {
      a = "poll";
      return 0u;
    }));
    ASSERT_EQ(0u, serve(listener_, "/plain", [](const TestRequest&, std::string& a) {
      a = "plain";
      return 0u;
    }));
    port_ = start(listener_, "/qel");
  }

  std::uint32_t listener_ = 0;
  int port_ = 0;
};

}  // namespace

TEST_F(AnyRequestTest, TakesTheSevenMethodsOnAndBelowItsPathAndRefusesTheRest) {
  const std::string got = raw_exchange(port_, request("GET", "/qel/api/x?y=1&z=%20&q"));
  EXPECT_EQ(200, raw_status(got)) << got;
  Seen first = seen();
  EXPECT_EQ("GET", first.method);
  EXPECT_EQ("/qel/api/x", first.resource);  // the path without the query
  EXPECT_EQ("/qel/api/x?y=1&z=%20&q", first.target);  // as sent, not decoded
  raw_exchange(port_, request("PUT", "/qel/a%20b"));
  EXPECT_EQ("/qel/a b", seen().resource);  // decoded, as before
  EXPECT_EQ("/qel/a%20b", seen().target);

  int calls = seen().calls;
  for (const char* method : {"GET", "HEAD", "POST", "PUT", "PATCH", "DELETE", "OPTIONS"}) {
    for (const char* path : {"/qel", "/qel/", "/qel/deep/er"}) {
      EXPECT_EQ(200, raw_status(raw_exchange(port_, request(method, path)))) << method << path;
      EXPECT_EQ(method, seen().method);
      EXPECT_EQ(++calls, seen().calls);
    }
  }
  // A prefix stops at a path boundary; an exact registration of a longer path wins.
  EXPECT_EQ(404, raw_status(raw_exchange(port_, request("GET", "/qelx"))));
  EXPECT_EQ(404, raw_status(raw_exchange(port_, request("GET", "/qe"))));
  const std::string poll = raw_exchange(port_, request("GET", "/qel/reverseConnection"));
  EXPECT_EQ(405, raw_status(poll));
  EXPECT_NE(std::string::npos, poll.find("Allow: POST\r\n")) << poll;
  EXPECT_NE(std::string::npos,
            raw_exchange(port_, request("POST", "/qel/reverseConnection")).find("\r\n\r\npoll"));
  raw_exchange(port_, request("POST", "/qel/reverseConnection/x"));  // not below an exact one
  EXPECT_EQ("/qel/reverseConnection/x", seen().resource);
  calls = seen().calls;

  const std::string trace = raw_exchange(port_, request("TRACE", "/qel/x"));
  EXPECT_EQ(405, raw_status(trace));
  EXPECT_NE(std::string::npos,
            trace.find("Allow: GET, HEAD, POST, PUT, PATCH, DELETE, OPTIONS\r\n")) << trace;
  const std::string upgrade = raw_exchange(port_, request("GET", "/qel/ws", "Upgrade: websocket\r\n"));
  EXPECT_EQ(501, raw_status(upgrade));
  EXPECT_NE(std::string::npos,
            upgrade.find("\r\n\r\nqel: CONNECT and protocol upgrades are not carried by this "
                         "tunnel\n")) << upgrade;
  const std::string connect =
      raw_exchange(port_, "CONNECT example.com:443 HTTP/1.1\r\nHost: example.com:443\r\n\r\n");
  EXPECT_EQ(501, raw_status(connect)) << connect;
  EXPECT_NE(std::string::npos, connect.find("not carried by this tunnel"));
  EXPECT_EQ(501, raw_status(raw_exchange(port_, request("CONNECT", "/qel"))));
  // Paths that leave the resource once normalised downstream.
  for (const char* path : {"/qel/../admin", "/qel/%2e%2E/admin", "/qel%00/../admin", "/qel/./x",
                           "/qel/a/..?q=1"}) {
    const std::string escaped = raw_exchange(port_, request("GET", path));
    EXPECT_EQ(400, raw_status(escaped)) << path << "\n" << escaped;
  }
  EXPECT_EQ(200, raw_status(raw_exchange(port_, request("GET", "/qel/a..b/.x?p=/../"))));
  EXPECT_EQ(calls + 1, seen().calls);  // none of the refused requests reached the callback

  // A resource without the flag keeps the plain behaviour.
  const std::string plain = raw_exchange(port_, request("GET", "/plain"));
  EXPECT_EQ(405, raw_status(plain));
  EXPECT_NE(std::string::npos, plain.find("Allow: POST\r\n"));
  EXPECT_EQ(404, raw_status(raw_exchange(port_, request("POST", "/plain/sub"))));
  EXPECT_EQ(200, raw_status(raw_exchange(port_, request("POST", "/plain", "Upgrade: x\r\n"))));
  EXPECT_EQ(SCS_STATUS_NOT_SUPPORTED,
            SCS_SERVER_RegisterOnPostData(listener_, "/x", 1, &recording, SCS_POST_ANY_REQUEST));
  EXPECT_EQ(SCS_STATUS_NOT_SUPPORTED,
            SCS_SERVER_RegisterOnPostData(listener_, "/x", 1, &recording, 0x802u));
}

TEST_F(AnyRequestTest, HandsOnTheHeadersInOrderWithTheirNamesAsReceived) {
  const std::string got = raw_exchange(
      port_, "GET /qel/h HTTP/1.1\r\nHost: h\r\nX-Foo: 1\r\nx-foo:2\r\nACCEPT:  text/html \t\r\n"
             "Cookie: a=1; b=2\r\nX-Empty:\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(200, raw_status(got)) << got;
  EXPECT_EQ("Host: h\r\nX-Foo: 1\r\nx-foo: 2\r\nACCEPT: text/html\r\nCookie: a=1; b=2\r\n"
            "X-Empty: \r\nConnection: close\r\n",
            seen().headers);
  raw_exchange(port_, "GET /qel HTTP/1.0\r\n\r\n");
  EXPECT_EQ("", seen().headers);  // no headers: an empty block
  // A header name that is not a token never reaches a callback.
  const int calls = seen().calls;
  EXPECT_EQ(400, raw_status(raw_exchange(port_, request("GET", "/qel", "Bad Name: v\r\n"))));
  EXPECT_EQ(400, raw_status(raw_exchange(port_, request("POST", "/plain", "X(y): v\r\n"))));
  EXPECT_EQ(calls, seen().calls);

  char* block = reinterpret_cast<char*>(1);
  EXPECT_EQ(0xC7210104u, SCS_SERVER_GetRequestHeaders(12345, &block));
  EXPECT_EQ(nullptr, block);
  EXPECT_EQ(0xC7210104u, SCS_SERVER_GetRequestTarget(12345, &block));
  EXPECT_EQ(0xC7210101u, SCS_SERVER_GetRequestTarget(1, nullptr));
  EXPECT_EQ(0xC7210101u, SCS_SERVER_GetRequestHeaders(1, nullptr));
}

TEST_F(AnyRequestTest, AnswersKeepHeaderOrderAndSendNoContentWhereNoneBelongs) {
  const std::string got = raw_exchange(port_, request("GET", "/qel/r"));
  const auto first = got.find("Set-Cookie: a=1\r\n");
  const auto lower = got.find("x-Lower: b\r\n");
  const auto second = got.find("Set-Cookie: c=2\r\n");
  ASSERT_NE(std::string::npos, second) << got;
  EXPECT_LT(first, lower);
  EXPECT_LT(lower, second);
  EXPECT_NE(std::string::npos, got.find("\r\n\r\nGET /qel/r"));

  // HEAD: the length a GET would have, no body; the connection stays usable.
  const int fd = connect_local(port_);
  ASSERT_TRUE(send_all(fd, "HEAD /qel/r HTTP/1.1\r\nHost: h\r\n\r\n"
                           "GET /qel/s HTTP/1.1\r\nHost: h\r\nX-Status: 204\r\n\r\n"
                           "GET /qel/t HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n"));
  const std::string three = read_all(fd, 5);
  close(fd);
  const auto head_end = three.find("\r\n\r\n");
  ASSERT_NE(std::string::npos, head_end) << three;
  EXPECT_NE(std::string::npos, three.substr(0, head_end).find("Content-Length: 11")) << three;
  // 204 right after the HEAD's headers: no body, no Content-Length, kept alive.
  const std::string rest = three.substr(head_end + 4);
  EXPECT_EQ(0u, rest.find("HTTP/1.1 204 ")) << three;
  const auto no_content_end = rest.find("\r\n\r\n");
  EXPECT_EQ(std::string::npos, rest.substr(0, no_content_end).find("Content-Length"));
  EXPECT_EQ(no_content_end + 4, rest.find("HTTP/1.1 200 ")) << three;
  EXPECT_NE(std::string::npos, rest.find("\r\n\r\nGET /qel/t"));

  // 304: no body and no Content-Length either (this one ends the connection).
  const std::string not_modified = raw_exchange(port_, request("GET", "/qel/u", "X-Status: 304\r\n"));
  EXPECT_EQ(304, raw_status(not_modified)) << not_modified;
  EXPECT_EQ(std::string::npos, not_modified.find("Content-Length"));
  EXPECT_EQ(std::string::npos, not_modified.find("Transfer-Encoding"));
  EXPECT_EQ(not_modified.size(), not_modified.find("\r\n\r\n") + 4) << not_modified;
  EXPECT_NE(std::string::npos, not_modified.find("Set-Cookie: c=2\r\n"));
}

TEST_F(AnyRequestTest, OversizedHeadersAreAnswered431Once) {
  const int calls = seen().calls;
  const std::string big_value = request("GET", "/qel", "X-Big: " + std::string(40000, 'a') + "\r\n");
  std::string many = "GET /qel HTTP/1.1\r\nHost: h\r\n";
  for (int i = 0; i < 3000; ++i) many += "X-H" + std::to_string(i) + ": v\r\n";
  many += "\r\n";
  const std::string post_big =
      "POST /plain HTTP/1.1\r\nHost: h\r\nContent-Length: 5\r\nX-Big: " + std::string(40000, 'b') +
      "\r\n\r\nhello";
  for (const std::string& bytes : {big_value, many, post_big}) {
    const std::string got = raw_exchange(port_, bytes);
    EXPECT_EQ(431, raw_status(got)) << got.substr(0, 300);
    EXPECT_EQ(got.find("HTTP/1.1"), got.rfind("HTTP/1.1")) << got;  // one answer

  }
  EXPECT_EQ(calls, seen().calls);
}
