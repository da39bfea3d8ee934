// Resources whose callback answers later (SCS_POST_COMPLETES_LATER): requests set aside
// without a thread each and completed from other threads, completions that come
// during the callback or for a client that left, and stops with requests pending.
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "scs_test_support.h"

using namespace qeltest;

namespace {

constexpr std::uint32_t kLater = SCS_POST_MODE_BUFFERED | SCS_POST_COMPLETES_LATER;

// The handles of the requests a callback left pending, in arrival order.
class Pending {
 public:
  TestHandler handler() {
    return [this](const TestRequest& r, std::string&) {
      std::lock_guard<std::mutex> lock(mutex_);
      handles_.push_back(r.handle);
      bodies_.push_back(r.body);
      return SCS_STATUS_PENDING;
    };
  }
  bool wait_for(std::size_t count) {
    return wait_until([&] { return size() >= count; }, 20000);
  }
  std::size_t size() {
    std::lock_guard<std::mutex> lock(mutex_);
    return handles_.size();
  }
  std::uint32_t handle(std::size_t i) {
    std::lock_guard<std::mutex> lock(mutex_);
    return handles_.at(i);
  }
  std::string body(std::size_t i) {
    std::lock_guard<std::mutex> lock(mutex_);
    return bodies_.at(i);
  }

 private:
  std::mutex mutex_;
  std::vector<std::uint32_t> handles_;
  std::vector<std::string> bodies_;
};

std::uint8_t* block_of(const std::string& text) {
  auto* block = static_cast<std::uint8_t*>(SCS_Allocate(static_cast<std::uint32_t>(text.size())));
  std::memcpy(block, text.data(), text.size());
  return block;
}

std::uint32_t complete(std::uint32_t handle, const std::string& text) {
  return SCS_SERVER_CompleteRequest(handle, 0, block_of(text), static_cast<std::uint32_t>(text.size()));
}

// Sends one request per connection to `path` and returns the connections.
std::vector<int> send_each(int port, const std::string& path, int count) {
  std::vector<int> clients;
  for (int i = 0; i < count; ++i) {
    clients.push_back(connect_local(port));
    EXPECT_TRUE(send_all(clients.back(), raw_post(path, std::to_string(i), true)));
  }
  return clients;
}

void close_all(const std::vector<int>& fds) {
  for (int fd : fds) close(fd);
}

}  // namespace

TEST_F(ScsTest, PendingRequestsWaitWithoutAThreadEachAndAreAnsweredFromAnyThread) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nper_ip_limit = 0\nworkers = 1", "", listener));
  Pending pending;
  ASSERT_EQ(0u, serve(listener, "/later", pending.handler(), kLater));
  ASSERT_EQ(0u, serve(listener, "/quick", [](const TestRequest&, std::string& answer) {
    answer = "quick";
    return 0u;
  }, SCS_POST_MODE_BUFFERED | SCS_POST_NEVER_BLOCKS));
  const int port = start(listener, "/later");
  const int baseline = thread_count();
  const std::vector<int> clients = send_each(port, "/later", 40);
  ASSERT_TRUE(pending.wait_for(40));
  // Forty requests wait on the one worker, which still serves other requests.
  EXPECT_LE(thread_count(), baseline + 1);
  EXPECT_EQ(200, http_post(url(port, "/quick"), "", {}, 5000).status);

  // Completed from another thread, last first, each with its own status and header.
  std::thread completer([&] {
    for (std::size_t i = 40; i-- > 0;) {
      const std::uint32_t handle = pending.handle(i);
      EXPECT_EQ(0u, SCS_SERVER_SetHttpStatus(handle, 201));
      EXPECT_EQ(0u, SCS_SERVER_AddResponseHeader(handle, "X-Which", pending.body(i).c_str()));
      EXPECT_EQ(0u, complete(handle, "answer:" + pending.body(i)));
      // Once only: afterwards the handle names nothing.
      EXPECT_EQ(SCS_STATUS_UNKNOWN_REQUEST, complete(handle, "again"));
      EXPECT_NE(0u, SCS_SERVER_SetHttpStatus(handle, 202));
    }
  });
  completer.join();
  for (int i = 0; i < 40; ++i) {
    const std::string answer = read_answer(clients[i], 10);
    EXPECT_EQ(201, raw_status(answer)) << answer;
    EXPECT_NE(std::string::npos, answer.find("X-Which: " + std::to_string(i) + "\r\n")) << answer;
    EXPECT_EQ("answer:" + std::to_string(i), body_of(answer));
  }
  close_all(clients);

  // A failed completion is answered 500, as a failed callback is.
  const int failing = connect_local(port);
  ASSERT_TRUE(send_all(failing, raw_post("/later", "x")));
  ASSERT_TRUE(pending.wait_for(41));
  EXPECT_EQ(0u, SCS_SERVER_CompleteRequest(pending.handle(40), 0xC7219999u, nullptr, 0));
  EXPECT_EQ(500, raw_status(read_answer(failing, 10)));
  close(failing);
  EXPECT_EQ(SCS_STATUS_UNKNOWN_REQUEST, complete(12345, "nobody"));
}

TEST_F(ScsTest, CompletionsDuringTheCallbackOnEitherKindOfConnection) {
  for (const char* settings : {"port = 0\nworkers = 1", "port = 0"}) {
    SCOPED_TRACE(settings);
    std::uint32_t listener = 0;
    ASSERT_EQ(0u, add(settings, "", listener));
    // Completed by the callback itself before it says "pending"; answered at once
    // when its body asks for it (a completion that comes then is dropped).
    ASSERT_EQ(0u, serve(listener, "/later", [](const TestRequest& r, std::string& answer) {
      if (r.body == "at once") {
        answer = "direct";
        EXPECT_EQ(0u, complete(r.handle, "dropped"));
        return 0u;
      }
      EXPECT_EQ(0u, complete(r.handle, "inside:" + r.body));
      return SCS_STATUS_PENDING;
    }, kLater));
    Pending pending;
    ASSERT_EQ(0u, serve(listener, "/other", pending.handler(), kLater));
    const int port = start(listener, "/later");
    EXPECT_EQ("inside:a", http_post(url(port, "/later"), "a", {}, 5000).body);
    EXPECT_EQ("direct", http_post(url(port, "/later"), "at once", {}, 5000).body);
    // Completed from another thread while the connection waits.
    const int fd = connect_local(port);
    ASSERT_TRUE(send_all(fd, raw_post("/other", "b")));
    ASSERT_TRUE(pending.wait_for(1));
    std::thread([&] { EXPECT_EQ(0u, complete(pending.handle(0), "outside")); }).join();
    EXPECT_EQ("outside", body_of(read_answer(fd, 10)));
    // The connection stays usable for the next request.
    ASSERT_TRUE(send_all(fd, raw_post("/later", "c")));
    EXPECT_EQ("inside:c", body_of(read_answer(fd, 10)));
    close(fd);
    ASSERT_EQ(0u, SCS_SERVER_StopServer(listener));
    ASSERT_EQ(0u, SCS_SERVER_RemoveListener(listener));
  }
}

namespace {

// The connection watch's notice completes the request of a client that left.
struct LeftBehind {
  std::atomic<std::uint32_t> handle{0};
  std::atomic<std::uint32_t> completed{1};
};

void client_left(void* context) {
  auto& left = *static_cast<LeftBehind*>(context);
  left.completed = complete(left.handle, "nobody reads this");
}

}  // namespace

TEST_F(ScsTest, PendingRequestsOfALeavingClientAndOfAStoppingListener) {
  for (const char* settings : {"port = 0\nper_ip_limit = 0\nworkers = 1", "port = 0\nper_ip_limit = 0"}) {
    SCOPED_TRACE(settings);
    std::uint32_t listener = 0;
    ASSERT_EQ(0u, add(settings, "", listener));
    LeftBehind left;
    ASSERT_EQ(0u, serve(listener, "/watched", [&left](const TestRequest& r, std::string&) {
      left.handle = r.handle;
      EXPECT_EQ(0u, SCS_SERVER_WatchRequest(r.handle, &client_left, &left));
      return SCS_STATUS_PENDING;
    }, kLater));
    Pending pending;
    ASSERT_EQ(0u, serve(listener, "/later", pending.handler(), kLater));
    const int port = start(listener, "/later");
    const int leaving = connect_local(port);
    ASSERT_TRUE(send_all(leaving, raw_post("/watched", "")));
    ASSERT_TRUE(wait_until([&] { return left.handle != 0; }, 10000));
    close(leaving);
    ASSERT_TRUE(wait_until([&] { return left.completed.load() == 0; }, 10000));

    // A stop answers every pending request 503 at once; a late completion is refused.
    const std::vector<int> clients = send_each(port, "/later", 5);
    ASSERT_TRUE(pending.wait_for(5));
    ASSERT_EQ(0u, SCS_SERVER_StopServer(listener));
    for (int fd : clients) {
      const std::string answer = read_answer(fd, 10);
      EXPECT_EQ(503, raw_status(answer)) << answer;
      EXPECT_NE(std::string::npos, answer.find("stopping")) << answer;
    }
    close_all(clients);
    EXPECT_EQ(SCS_STATUS_UNKNOWN_REQUEST, complete(pending.handle(0), "too late"));
    // Started again, the listener takes pending requests as before.
    const int again = start(listener, "/later");
    const int fd = connect_local(again);
    ASSERT_TRUE(send_all(fd, raw_post("/later", "")));
    ASSERT_TRUE(pending.wait_for(6));
    EXPECT_EQ(0u, complete(pending.handle(5), "after"));
    EXPECT_EQ("after", body_of(read_answer(fd, 10)));
    close(fd);
    ASSERT_EQ(0u, SCS_SERVER_StopServer(listener));
    ASSERT_EQ(0u, SCS_SERVER_RemoveListener(listener));
  }
}
