// Requests through real sockets: the callback's view of a request, the answers the
// library gives by itself, client authentication and per-client limits.
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <chrono>
#include <thread>

#include "scs_test_support.h"

using namespace qeltest;

namespace {

std::string header_of(std::uint32_t handle, const char* name, std::uint32_t* status) {
  char* value = nullptr;
  *status = SCS_SERVER_GetRequestHeader(handle, name, 0, &value);
  std::string text = value != nullptr ? value : "<null>";
  SCS_Free(value);
  return text;
}

}  // namespace

TEST_F(ScsTest, PostReachesCallbackAndItsAnswerReachesClient) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0", "", listener));
  std::atomic<std::uint32_t> seen_handle{0};
  std::string seen_id, seen_missing, seen_body;
  std::uint32_t id_status = 1, missing_status = 1, stop_status = 0;
  ASSERT_EQ(0u, serve(listener, "/qel/echo", [&](const TestRequest& r, std::string& answer) {
    seen_handle = r.handle;
    seen_id = header_of(r.handle, "x-qel-message-id", &id_status);
    seen_missing = header_of(r.handle, "X-QEL-Location", &missing_status);
    seen_body = r.body;
    stop_status = SCS_SERVER_StopServer(r.listener);
    SCS_SERVER_AddResponseHeader(r.handle, "X-QEL-Status-Code", "201");
    SCS_SERVER_SetHttpStatus(r.handle, 202);
    answer = std::string("got\0", 4) + r.body;
    return 0u;
  }));
  const int port = start(listener, "/qel/echo");
  const std::string body("a\0b", 3);
  http_options options;
  options.headers = {"X-QEL-Message-Id: 42"};
  const http_result result = http_request(url(port, "/qel/echo"), body, options);
  ASSERT_EQ("", result.error);
  EXPECT_EQ(202, result.status);
  EXPECT_EQ(std::string("got\0a\0b", 7), result.body);
  EXPECT_EQ("201", result.header("X-QEL-Status-Code"));
  EXPECT_EQ(body, seen_body);
  EXPECT_EQ("42", seen_id);  // names are matched without case
  EXPECT_EQ(0u, id_status);
  EXPECT_EQ("<null>", seen_missing);  // absent: status 0 and a null value
  EXPECT_EQ(0u, missing_status);
  EXPECT_EQ(0xC7210111u, stop_status);  // a callback cannot stop its own listener
  // The handle died with its callback.
  EXPECT_EQ(0xC7210104u, SCS_SERVER_SetHttpStatus(seen_handle, 200));
}

TEST_F(ScsTest, EmptyBodyGivesNullDataAndDefaultAnswer) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0", "", listener));
  std::atomic<bool> body_null{false};
  ASSERT_EQ(0u, serve(listener, "/empty", [&](const TestRequest& r, std::string&) {
    body_null = r.body_null;
    EXPECT_EQ(0xC7210101u, SCS_SERVER_AddResponseHeader(r.handle, "Bad Name", "x"));
    EXPECT_EQ(0xC7210101u, SCS_SERVER_AddResponseHeader(r.handle, "X-Split", "a\r\nb: c"));
    EXPECT_EQ(0xC7210101u, SCS_SERVER_SetHttpStatus(r.handle, 42));
    return 0u;
  }));
  const http_result result = http_request(url(start(listener, "/empty"), "/empty"), "");
  EXPECT_EQ(200, result.status);
  EXPECT_EQ("", result.body);
  EXPECT_EQ("", result.header("X-Split"));
  EXPECT_TRUE(body_null);
}

TEST_F(ScsTest, LibraryAnswersWrongResourceMethodAndSize) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nmax_body_size = 1024", "", listener));
  std::atomic<int> calls{0};
  ASSERT_EQ(0u, serve(listener, "/in", [&](const TestRequest& r, std::string& answer) {
    ++calls;
    answer = std::to_string(r.body.size());
    return 0u;
  }));
  const int port = start(listener, "/in");
  EXPECT_EQ(404, http_request(url(port, "/other"), "x").status);
  http_options get;
  get.method = "GET";
  const http_result wrong_method = http_request(url(port, "/in"), "", get);
  EXPECT_EQ(405, wrong_method.status);
  EXPECT_EQ("POST", wrong_method.header("Allow"));
  EXPECT_EQ(413, http_request(url(port, "/in"), std::string(1025, 'x')).status);
  // A chunked body declares no length: its bytes are counted as they come.
  const std::string chunked =
      "POST /in HTTP/1.1\r\nHost: h\r\nConnection: close\r\nTransfer-Encoding: chunked\r\n\r\n"
      "400\r\n" + std::string(1024, 'y') + "\r\n1\r\nz\r\n0\r\n\r\n";
  EXPECT_EQ(413, raw_status(raw_exchange(port, chunked)));
  EXPECT_EQ(0, calls.load());
  const http_result exact = http_request(url(port, "/in"), std::string(1024, 'x'));
  EXPECT_EQ(200, exact.status);
  EXPECT_EQ("1024", exact.body);
}

TEST_F(ScsTest, FailedCallbackGives500AndLogsStatusText) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0", "", listener));
  ASSERT_EQ(0u, serve(listener, "/fail", [](const TestRequest& r, std::string& answer) {
    SCS_SERVER_SetHttpStatus(r.handle, 200);
    answer = "secret partial answer";
    return 0xC7210101u;
  }));
  const int port = start(listener, "/fail");
  const http_result result = http_request(url(port, "/fail"), "x");
  EXPECT_EQ(500, result.status);
  EXPECT_EQ(std::string::npos, result.body.find("secret"));
  const auto lines = logged("returned status 0xC7210101");
  ASSERT_EQ(1u, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("/fail"));
  EXPECT_NE(std::string::npos, lines[0].find("An argument passed to the HTTP service library"));
  EXPECT_EQ(0, lines[0].find(std::to_string(MSL_LOG_ERROR) + " "));

  // A sink that wants warnings only hears nothing of it.
  std::atomic<int> errors{0};
  const mslLogSink quiet{reinterpret_cast<std::uintptr_t>(&errors), MSL_LOG_WARNING,
                         [](std::uintptr_t c, std::uint32_t level, const char*, const char*) {
                           if (level == MSL_LOG_ERROR) ++*reinterpret_cast<std::atomic<int>*>(c);
                         }};
  ASSERT_EQ(0u, SCS_SERVER_Init("5.0", "uuid-1", "test-agent", &quiet));
  EXPECT_EQ(500, http_request(url(port, "/fail"), "x").status);
  EXPECT_EQ(0, errors.load());
}

// A C++ callback or host log function that throws costs its own request or line only.
TEST_F(ScsTest, CallbackOrLogSinkThatThrowsCostsOnlyItsRequest) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\naccess_log = on", "", listener));
  ASSERT_EQ(0u, serve(listener, "/throw", [](const TestRequest&, std::string&) -> std::uint32_t {
    throw std::runtime_error("callback failed");
  }));
  ASSERT_EQ(0u, serve(listener, "/ok", [](const TestRequest&, std::string& answer) {
    answer = "fine";
    return 0u;
  }));
  const int port = start(listener, "/ok");
  EXPECT_EQ(500, http_request(url(port, "/throw"), "x").status);
  EXPECT_EQ(1u, logged("unexpected failure: callback failed").size());

  static std::atomic<int> thrown{0};
  static const mslLogSink throwing{0, 0xFFFFFFFFu,
                                   [](std::uintptr_t, std::uint32_t, const char*, const char*) {
                                     ++thrown;
                                     throw std::runtime_error("host log failed");
                                   }};
  ASSERT_EQ(0u, SCS_SERVER_Init("5.0", "uuid-1", "test-agent", &throwing));
  EXPECT_EQ(500, http_request(url(port, "/throw"), "x").status);
  const http_result ok = http_request(url(port, "/ok"), "x");
  EXPECT_EQ(200, ok.status);
  EXPECT_EQ("fine", ok.body);
  EXPECT_GE(thrown.load(), 3);  // the failure and both access lines were offered
}

TEST_F(ScsTest, AmbiguousOrUndecodableBodyIsRefusedBeforeTheCallback) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0", "", listener));
  std::atomic<int> calls{0};
  ASSERT_EQ(0u, serve(listener, "/in", [&](const TestRequest&, std::string&) {
    ++calls;
    return 0u;
  }));
  const int port = start(listener, "/in");
  const std::string head = "POST /in HTTP/1.1\r\nHost: h\r\nConnection: close\r\n";
  EXPECT_EQ(400, raw_status(raw_exchange(
                     port, head + "Content-Length: 3\r\nContent-Length: 3\r\n\r\nabc")));
  EXPECT_EQ(400, raw_status(raw_exchange(
                     port, head + "Content-Length: 3\r\nContent-Length: 5\r\n\r\nabcde")));
  EXPECT_EQ(400, raw_status(raw_exchange(
      port, head + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n")));
  // Codings other than chunked are answered at once, without waiting for a body end.
  EXPECT_EQ(501, raw_status(raw_exchange(port, head + "Transfer-Encoding: gzip, chunked\r\n\r\n")));
  EXPECT_EQ(400, raw_status(raw_exchange(port, head + "Transfer-Encoding: chunked, gzip\r\n\r\n")));
  EXPECT_EQ(400, raw_status(raw_exchange(port, head + "Transfer-Encoding: gzip\r\n\r\nabc")));
  EXPECT_EQ(0, calls.load());
  EXPECT_EQ(200, raw_status(raw_exchange(port, head + "Content-Length: 3\r\n\r\nabc")));
  EXPECT_EQ(200, raw_status(raw_exchange(
      port, head + "Transfer-Encoding: Chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n")));
  EXPECT_EQ(2, calls.load());
}

TEST_F(ScsTest, SingleHeaderFlagTellsADoubledHeaderApart) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0", "", listener));
  std::mutex mutex;
  std::vector<std::string> seen;  // "rc value" per read
  ASSERT_EQ(0u, serve(listener, "/in", [&](const TestRequest& r, std::string&) {
    for (std::uint32_t flags : {SCS_HEADER_SINGLE, 0u}) {
      char* value = nullptr;
      const std::uint32_t rc = SCS_SERVER_GetRequestHeader(r.handle, "X-Id", flags, &value);
      std::lock_guard<std::mutex> lock(mutex);
      seen.push_back(std::to_string(rc) + " " + (value != nullptr ? value : "(none)"));
      SCS_Free(value);
    }
    return 0u;
  }));
  const int port = start(listener, "/in");
  const std::string head = "POST /in HTTP/1.1\r\nHost: h\r\nConnection: close\r\nContent-Length: 0\r\n";
  ASSERT_EQ(200, raw_status(raw_exchange(port, head + "X-Id: 7\r\nx-id: 8\r\n\r\n")));
  ASSERT_EQ(200, raw_status(raw_exchange(port, head + "X-Id: 9\r\n\r\n")));
  const std::vector<std::string> expected = {std::to_string(SCS_STATUS_DUPLICATE_HEADER) + " (none)",
                                             "0 7", "0 9", "0 9"};
  EXPECT_EQ(expected, seen);
}

TEST_F(ScsTest, BearerTokenGuardsEveryResource) {
  const std::string token_file = temp_file("token", "  s3cret-token\n");
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nbearer_token_file = " + token_file, "", listener));
  std::atomic<int> calls{0};
  ASSERT_EQ(0u, serve(listener, "/in", [&](const TestRequest&, std::string&) {
    ++calls;
    return 0u;
  }));
  const int port = start(listener, "/in");
  const http_result none = http_request(url(port, "/in"), "x");
  EXPECT_EQ(401, none.status);
  EXPECT_EQ("Bearer", none.header("WWW-Authenticate"));
  http_options wrong, right;
  wrong.headers = {"Authorization: Bearer s3cret-tokeN"};
  right.headers = {"Authorization: Bearer s3cret-token"};
  EXPECT_EQ(403, http_request(url(port, "/in"), "x", wrong).status);
  EXPECT_EQ(403, http_request(url(port, "/missing"), "x", wrong).status);  // no hint of 404
  EXPECT_EQ(0, calls.load());
  EXPECT_EQ(200, http_request(url(port, "/in"), "x", right).status);
  EXPECT_EQ(1, calls.load());
}

TEST_F(ScsTest, SlowClientsHoldNoMoreThanTheirShare) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nper_ip_limit = 3\nconnection_timeout = 1", "", listener));
  ASSERT_EQ(0u, serve(listener, "/in", [](const TestRequest&, std::string& a) {
    a = "ok";
    return 0u;
  }));
  const int port = start(listener, "/in");
  // Three clients that start a request and never finish it.
  std::vector<int> slow;
  for (int i = 0; i < 3; ++i) {
    slow.push_back(connect_local(port));
    ASSERT_TRUE(send_all(slow.back(), "POST /in HTTP/1.1\r\nHost: h\r\n"));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(503, http_request(url(port, "/in"), "x").status);
  // The idle timeout ends them, and their share is free again.
  for (int fd : slow) {
    EXPECT_TRUE(wait_closed(fd, 10));
    close(fd);
  }
  // The server counts a connection out once it has cleaned it up, shortly after.
  // Until then a new connection is refused with an answer (503), not closed.
  std::string body;
  for (int attempt = 0; attempt < 50 && body != "ok"; ++attempt) {
    const http_result result = http_request(url(port, "/in"), "x");
    body = result.body;
    if (body != "ok") {
      EXPECT_EQ(503, result.status);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  EXPECT_EQ("ok", body);
}

TEST_F(ScsTest, WorkerPoolServesOnlyCallbacksThatNeverWait) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nworkers = 2", "", listener));
  std::atomic<int> calls{0};
  const TestHandler echo = [&](const TestRequest& r, std::string& answer) {
    ++calls;
    answer = "pool:" + r.body;
    return 0u;
  };
  ASSERT_EQ(0u, serve(listener, "/quick", echo, SCS_POST_MODE_BUFFERED | SCS_POST_NEVER_BLOCKS));
  const int port = start(listener, "/quick");
  for (int i = 0; i < 20; ++i) {
    const auto result = http_request(url(port, "/quick"), std::to_string(i));
    EXPECT_EQ(200, result.status);
    EXPECT_EQ("pool:" + std::to_string(i), result.body);
  }
  EXPECT_EQ(20, calls.load());
  // A callback that may wait would stall the pool: refused, named in the log.
  ASSERT_EQ(0u, serve(listener, "/slow", echo));
  EXPECT_EQ(0xC7210118u, SCS_SERVER_StartServer(listener));
  EXPECT_FALSE(logged("/slow may wait").empty());
  EXPECT_EQ(200, http_request(url(port, "/quick"), "still").status);  // the pool serves on
  EXPECT_EQ(0xC7210100u, serve(listener, "/odd", echo, SCS_POST_NEVER_BLOCKS | 1u));
}
