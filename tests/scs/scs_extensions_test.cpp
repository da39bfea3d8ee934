// The two extensions a host drives a stop and its waiting bound with: admission before
// the body (SCS_SERVER_SetAdmission) and the quiesce of a listener
// (SCS_SERVER_QuiesceServer), through raw sockets to see every answer whole.
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include "scs_test_support.h"

using namespace qeltest;

namespace {

std::atomic<int> g_admitted{0};
std::mutex g_seen_mutex;
std::string g_seen;  // "<declared length> <X-Verdict header>" of the last admission

// Answers with the status the request's X-Verdict header names (0: go on).
std::uint32_t admit_by_header(std::uint32_t, std::uint32_t, const SCS_REQUEST* request,
                              char* text, std::uint32_t text_size) {
  char* verdict = nullptr;
  SCS_SERVER_GetRequestHeader(request->request_handle, "X-Verdict", 0, &verdict);
  const std::string value = verdict != nullptr ? verdict : "0";
  SCS_Free(verdict);
  {
    std::lock_guard<std::mutex> lock(g_seen_mutex);
    g_seen = std::to_string(request->content_length) + " " + value;
  }
  const std::uint32_t status = static_cast<std::uint32_t>(std::stoul(value));
  if (status == 503) std::snprintf(text, text_size, "too many callers waiting\r\nX-Forged: 1");
  if (status == 0) ++g_admitted;
  return status;
}

std::string post(const std::string& resource, const std::string& verdict, std::uint64_t length,
                 const std::string& body = "") {
  return "POST " + resource + " HTTP/1.1\r\nHost: h\r\nConnection: close\r\nX-Verdict: " + verdict +
         "\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n" + body;
}

std::string seen() {
  std::lock_guard<std::mutex> lock(g_seen_mutex);
  return g_seen;
}

}  // namespace

TEST_F(ScsTest, AdmissionRefusesBeforeTheBodyWithItsOwnStatusAndText) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0", "", listener));
  std::atomic<int> calls{0};
  const TestHandler count = [&](const TestRequest&, std::string& answer) {
    ++calls;
    answer = "in";
    return 0u;
  };
  ASSERT_EQ(0u, serve(listener, "/qel", count));
  EXPECT_EQ(SCS_STATUS_NOT_REGISTERED, SCS_SERVER_SetAdmission(listener, "/other", &admit_by_header));
  EXPECT_EQ(0xC7210103u, SCS_SERVER_SetAdmission(listener + 100, "/qel", &admit_by_header));
  ASSERT_EQ(0u, SCS_SERVER_SetAdmission(listener, "/qel", &admit_by_header));
  const int port = start(listener, "/qel");

  // Refused with the head alone: no body byte was sent, none is waited for.
  const std::string refused = raw_exchange(port, post("/qel", "503", 5000));
  EXPECT_EQ(503, raw_status(refused)) << refused;
  EXPECT_NE(std::string::npos, refused.find("Retry-After: "));
  EXPECT_NE(std::string::npos, refused.find("Connection: close"));
  EXPECT_NE(std::string::npos, refused.find("\r\n\r\ntoo many callers waiting\n"));
  EXPECT_EQ(std::string::npos, refused.find("X-Forged"));  // one line of text only
  EXPECT_EQ("5000 503", seen());
  const std::string too_many = raw_exchange(port, post("/qel", "429", 3));
  EXPECT_EQ(429, raw_status(too_many));
  EXPECT_NE(std::string::npos, too_many.find("Too Many Requests"));  // no text: the phrase
  EXPECT_EQ(std::string::npos, too_many.find("Retry-After"));
  EXPECT_EQ(500, raw_status(raw_exchange(port, post("/qel", "42", 3))));  // not a status
  EXPECT_EQ(0, calls.load());
  EXPECT_EQ(1u, logged("admission for /qel on listener").size());

  EXPECT_EQ(200, raw_status(raw_exchange(port, post("/qel", "0", 3, "abc"))));
  EXPECT_EQ(1, calls.load());
  EXPECT_EQ(1, g_admitted.load());
  // Registering again drops the admission; null removes it too.
  ASSERT_EQ(0u, serve(listener, "/qel", count));
  ASSERT_EQ(0u, SCS_SERVER_StartServer(listener));
  EXPECT_EQ(200, raw_status(raw_exchange(port, post("/qel", "503", 3, "abc"))));
  ASSERT_EQ(0u, SCS_SERVER_SetAdmission(listener, "/qel", &admit_by_header));
  EXPECT_EQ(503, raw_status(raw_exchange(port, post("/qel", "503", 3, "abc"))));
  ASSERT_EQ(0u, SCS_SERVER_SetAdmission(listener, "/qel", nullptr));
  EXPECT_EQ(200, raw_status(raw_exchange(port, post("/qel", "503", 3, "abc"))));
  EXPECT_EQ(3, calls.load());
}

TEST_F(ScsTest, QuiesceRefusesNewRequestsAndLetsRunningOnesAnswer) {
  // Two listeners with identical settings share one server.
  std::uint32_t callers = 0, polls = 0;
  ASSERT_EQ(0u, add("port = 0", "", callers));
  ASSERT_EQ(0u, add("port = 0", "", polls));
  Gate gate;
  std::atomic<int> calls{0};
  ASSERT_EQ(0u, serve(callers, "/qel", [&](const TestRequest&, std::string& answer) {
    ++calls;
    gate.arrive_and_wait();
    answer = "late answer";
    return 0u;
  }));
  ASSERT_EQ(0u, serve(polls, "/poll", [](const TestRequest&, std::string& answer) {
    answer = "poll";
    return 0u;
  }));
  const int port = start(callers, "/qel");
  ASSERT_EQ(port, start(polls, "/poll"));
  const int held = connect_local(port);
  ASSERT_TRUE(send_all(held, post("/qel", "0", 1, "x")));
  ASSERT_TRUE(gate.wait_for_arrivals(1, 10));

  ASSERT_EQ(0u, SCS_SERVER_QuiesceServer(callers));
  ASSERT_EQ(0u, SCS_SERVER_QuiesceServer(callers));  // twice is harmless
  const std::string stopping = raw_exchange(port, post("/qel", "0", 100));  // head only
  EXPECT_EQ(503, raw_status(stopping)) << stopping;
  EXPECT_NE(std::string::npos, stopping.find("Retry-After: "));
  EXPECT_NE(std::string::npos, stopping.find("the server is stopping"));
  // The other listener on the same server is not stopping.
  const int keep_alive = connect_local(port);
  ASSERT_TRUE(send_all(keep_alive, "POST /poll HTTP/1.1\r\nHost: h\r\nContent-Length: 0\r\n\r\n"));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  gate.open();
  const std::string late = read_all(held, 10);
  close(held);
  EXPECT_EQ(200, raw_status(late));
  EXPECT_NE(std::string::npos, late.find("Connection: close"));
  EXPECT_NE(std::string::npos, late.find("late answer"));
  EXPECT_EQ(1, calls.load());

  // The last listener quiesced: no new connection; the open one is still answered.
  ASSERT_EQ(0u, SCS_SERVER_QuiesceServer(polls));
  EXPECT_EQ(-1, connect_local(port));
  ASSERT_TRUE(send_all(keep_alive, "POST /poll HTTP/1.1\r\nHost: h\r\nContent-Length: 0\r\n\r\n"));
  const std::string last = read_all(keep_alive, 5);
  close(keep_alive);
  EXPECT_EQ(0u, last.find("HTTP/1.1 200")) << last;  // before the quiesce, kept alive
  const auto second = last.find("HTTP/1.1 503");
  ASSERT_NE(std::string::npos, second) << last;
  EXPECT_NE(std::string::npos, last.find("the server is stopping", second));
  EXPECT_EQ(0u, SCS_SERVER_StopServer(callers));
  EXPECT_EQ(0u, SCS_SERVER_RemoveListener(polls));
  // A stopped listener starts again, unquiesced, on a server of its own.
  const int again = start(callers, "/qel");
  gate.open();
  EXPECT_EQ(200, raw_status(raw_exchange(again, post("/qel", "0", 1, "x"))));
  EXPECT_EQ(0xC7210103u, SCS_SERVER_QuiesceServer(999));
}
