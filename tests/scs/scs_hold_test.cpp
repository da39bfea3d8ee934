// Requests held in blocking callbacks: many at once, clients that leave while held,
// a listener stopped while held, and a callback that outlasts the idle timeout.
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <chrono>
#include <thread>

#include "scs_test_support.h"

using namespace qeltest;

namespace {

TestHandler held_by(Gate& gate) {
  return [&gate](const TestRequest& r, std::string& answer) {
    gate.arrive_and_wait();
    answer = "answer:" + r.body;
    return 0u;
  };
}

std::string post_bytes(const std::string& body) {
  return "POST /hold HTTP/1.1\r\nHost: h\r\nConnection: close\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

TEST_F(ScsTest, ManyHeldRequestsAreAllAnsweredAndTheirThreadsEnd) {
  constexpr int kRequests = 200;
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nper_ip_limit = 0\nconnection_limit = 400", "", listener));
  Gate gate;
  ASSERT_EQ(0u, serve(listener, "/hold", held_by(gate)));
  const int port = start(listener, "/hold");
  const int baseline = qeltest::thread_count();
  std::vector<int> clients;
  for (int i = 0; i < kRequests; ++i) {
    clients.push_back(connect_local(port));
    ASSERT_GE(clients.back(), 0);
    ASSERT_TRUE(send_all(clients.back(), post_bytes(std::to_string(i))));
  }
  ASSERT_TRUE(gate.wait_for_arrivals(kRequests, 30));
  EXPECT_GE(qeltest::thread_count(), baseline + kRequests);  // one thread per held request
  gate.open();
  int answered = 0;
  for (int i = 0; i < kRequests; ++i) {
    const std::string answer = read_all(clients[i], 10);
    close(clients[i]);
    answered += raw_status(answer) == 200 &&
                answer.size() >= 8 &&
                answer.substr(answer.find("\r\n\r\n") + 4) == "answer:" + std::to_string(i);
  }
  EXPECT_EQ(kRequests, answered);
  EXPECT_TRUE(wait_for_threads_at_most(baseline, 20)) << thread_count() << " > " << baseline;
}

TEST_F(ScsTest, ClientsThatLeaveWhileHeldLeaveNothingBehind) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0", "", listener));
  Gate gate;
  std::atomic<int> finished{0};
  ASSERT_EQ(0u, serve(listener, "/hold", [&](const TestRequest& r, std::string& answer) {
    gate.arrive_and_wait();
    SCS_SERVER_AddResponseHeader(r.handle, "X-QEL-Message-Id", "1");
    answer = std::string(100000, 'a');  // freed by the library though nobody reads it
    ++finished;
    return 0u;
  }));
  const int port = start(listener, "/hold");
  const int baseline = qeltest::thread_count();
  std::vector<int> clients;
  for (int i = 0; i < 20; ++i) {
    clients.push_back(connect_local(port));
    ASSERT_TRUE(send_all(clients.back(), post_bytes("x")));
  }
  ASSERT_TRUE(gate.wait_for_arrivals(20, 10));
  for (int fd : clients) close(fd);
  gate.open();
  EXPECT_TRUE(wait_for_threads_at_most(baseline, 20));
  EXPECT_EQ(20, finished.load());
  EXPECT_EQ(200, http_request(url(port, "/hold"), "y").status);  // still serving
}

TEST_F(ScsTest, StoppingClosesHeldConnectionsAndWaitsForTheirCallbacks) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0", "", listener));
  Gate gate;
  ASSERT_EQ(0u, serve(listener, "/hold", held_by(gate)));
  const int port = start(listener, "/hold");
  const int fd = connect_local(port);
  ASSERT_TRUE(send_all(fd, post_bytes("x")));
  ASSERT_TRUE(gate.wait_for_arrivals(1, 10));
  std::atomic<bool> stopped{false};
  std::uint32_t stop_status = 1;
  std::thread stopper([&] {
    stop_status = SCS_SERVER_StopServer(listener);
    stopped = true;
  });
  EXPECT_TRUE(wait_closed(fd, 10));  // the client is let go at once
  close(fd);
  EXPECT_FALSE(stopped.load());  // while the callback still runs
  gate.open();
  stopper.join();
  EXPECT_EQ(0u, stop_status);
  EXPECT_NE("", http_request(url(port, "/hold"), "").error);
  EXPECT_EQ(0u, SCS_SERVER_RemoveListener(listener));
}

TEST_F(ScsTest, CallbackLongerThanTheIdleTimeoutIsStillAnswered) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nconnection_timeout = 1", "", listener));
  ASSERT_EQ(0u, serve(listener, "/slow", [](const TestRequest&, std::string& answer) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    answer = "late";
    return 0u;
  }));
  const http_result result = http_request(url(start(listener, "/slow"), "/slow"), "x");
  EXPECT_EQ(200, result.status);
  EXPECT_EQ("late", result.body);
}

namespace {

// Records gone() calls of the connection watch.
struct GoneFlag {
  std::mutex mutex;
  std::condition_variable changed;
  int calls = 0;

  static void gone(void* self) {
    auto* flag = static_cast<GoneFlag*>(self);
    std::lock_guard<std::mutex> lock(flag->mutex);
    ++flag->calls;
    flag->changed.notify_all();
  }
  bool wait(int seconds) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(seconds), [&] { return calls > 0; });
  }
};

}  // namespace

TEST_F(ScsTest, WatchTellsAWaitingCallbackThatItsClientLeft) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0", "", listener));
  GoneFlag left, stayed;
  std::atomic<int> watched{0};
  ASSERT_EQ(0u, serve(listener, "/hold", [&](const TestRequest& r, std::string& answer) {
    GoneFlag& flag = r.body == "leave" ? left : stayed;
    watched += SCS_SERVER_WatchRequest(r.handle, &GoneFlag::gone, &flag) == 0;
    flag.wait(r.body == "leave" ? 20 : 1);  // the staying client is answered after 1 s
    EXPECT_EQ(0u, SCS_SERVER_UnwatchRequest(r.handle));
    answer = "answer";
    return 0u;
  }));
  const int port = start(listener, "/hold");
  const int leaver = connect_local(port);
  ASSERT_TRUE(send_all(leaver, post_bytes("leave")));
  EXPECT_EQ(200, raw_status(raw_exchange(port, post_bytes("stay"))));
  close(leaver);
  EXPECT_TRUE(left.wait(20));  // woken by the close, long before its own 20 s
  EXPECT_EQ(2, watched.load());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::lock_guard<std::mutex> lock(stayed.mutex);
  EXPECT_EQ(0, stayed.calls);  // a client that waits for its answer is never "gone"
  // Only a request whose callback runs can be watched.
  EXPECT_EQ(0xC7210104u, SCS_SERVER_WatchRequest(999999, &GoneFlag::gone, &stayed));
}
