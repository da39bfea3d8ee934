// An endpoint with nonblocking_workers: one port, a worker pool for the connections
// whose first request is for a resource that never waits, a thread per connection for
// the others; a pooled connection that asks for a waiting resource later, stops while
// it waits, late and split request lines, quiesce, and the settings around the key.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "scs_test_certs.h"
#include "scs_test_support.h"

using namespace qeltest;

namespace {

constexpr std::uint32_t kNeverBlocks = SCS_POST_MODE_BUFFERED | SCS_POST_NEVER_BLOCKS;

// The threads that ran a handler.
struct Threads {
  std::mutex mutex;
  std::set<std::thread::id> seen;
  void note() {
    std::lock_guard<std::mutex> lock(mutex);
    seen.insert(std::this_thread::get_id());
  }
  std::set<std::thread::id> get() {
    std::lock_guard<std::mutex> lock(mutex);
    return seen;
  }
};

// A resource that never waits: notes its thread and answers "quick:" and the body.
TestHandler quick_handler(Threads& threads) {
  return [&threads](const TestRequest& r, std::string& answer) {
    threads.note();
    answer = "quick:" + r.body;
    return 0u;
  };
}

// A resource that waits at the gate: notes its thread, sets a header before it waits
// and answers "held:" and the body.
TestHandler held_handler(Threads& threads, Gate& gate) {
  return [&threads, &gate](const TestRequest& r, std::string& answer) {
    threads.note();
    SCS_SERVER_AddResponseHeader(r.handle, "X-Held", "yes");
    gate.arrive_and_wait();
    answer = "held:" + r.body;
    return 0u;
  };
}

// True once the IPv4 listening socket on `port` has no connection left in its accept
// queue (a listening socket's rx_queue in /proc/net/tcp), within `seconds`.
bool accept_queue_empties(int port, int seconds) {
  char local[32];
  std::snprintf(local, sizeof local, ":%04X", port);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    bool queued = false;
    while (std::getline(table, line)) {
      std::istringstream fields(line);
      std::string slot, address, remote, state, queues;
      fields >> slot >> address >> remote >> state >> queues;
      const bool listening_here = state == "0A" && address.size() >= 5 &&
                                  address.compare(address.size() - 5, 5, local) == 0;
      if (!listening_here) continue;
      queued = queues.substr(queues.find(':') + 1) != "00000000";
    }
    if (!queued) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

}  // namespace

TEST_F(ScsTest, SplitEndpointServesQuickRequestsFromItsPoolWhileCallersWait) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nper_ip_limit = 0\nnonblocking_workers = 2", "", listener));
  Threads quick_threads, held_threads;
  Gate gate;
  ASSERT_EQ(0u, serve(listener, "/quick", quick_handler(quick_threads), kNeverBlocks));
  ASSERT_EQ(0u, serve(listener, "/hold", held_handler(held_threads, gate)));
  const int port = start(listener, "/hold");
  std::vector<int> held;
  for (int i = 0; i < 20; ++i) {
    held.push_back(connect_local(port));
    ASSERT_TRUE(send_all(held.back(), raw_post("/hold", std::to_string(i), true)));
  }
  ASSERT_TRUE(gate.wait_for_arrivals(20, 20));
  // Every waiting caller has a thread of its own; 30 quick requests on 30 connections
  // kept open at once are served meanwhile by the two workers.
  EXPECT_EQ(20u, held_threads.get().size());
  std::vector<int> quick_clients;
  for (int i = 0; i < 30; ++i) {
    quick_clients.push_back(connect_local(port));
    ASSERT_TRUE(send_all(quick_clients.back(), raw_post("/quick", std::to_string(i))));
    const std::string answer = read_answer(quick_clients.back(), 5);
    EXPECT_EQ(200, raw_status(answer));
    EXPECT_EQ("quick:" + std::to_string(i), body_of(answer));
  }
  for (int fd : quick_clients) close(fd);
  const auto quick = quick_threads.get();
  EXPECT_LE(quick.size(), 2u);
  for (const auto& id : quick) EXPECT_EQ(0u, held_threads.get().count(id));
  gate.open();
  for (int i = 0; i < 20; ++i) {
    const std::string answer = read_all(held[i], 10);
    close(held[i]);
    EXPECT_EQ(200, raw_status(answer));
    EXPECT_EQ("held:" + std::to_string(i), body_of(answer));
  }
}

TEST_F(ScsTest, PooledConnectionAsksForAWaitingResourceWithoutStallingThePool) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nnonblocking_workers = 1", "", listener));
  Threads quick_threads, held_threads;
  Gate gate;
  ASSERT_EQ(0u, serve(listener, "/quick", quick_handler(quick_threads), kNeverBlocks));
  ASSERT_EQ(0u, serve(listener, "/hold", held_handler(held_threads, gate)));
  const int port = start(listener, "/quick");
  const int fd = connect_local(port);
  ASSERT_TRUE(send_all(fd, raw_post("/quick", "first")));
  EXPECT_EQ("quick:first", body_of(read_answer(fd, 5)));
  // The same kept-alive connection now asks for a resource that waits: the one worker
  // goes on serving other connections meanwhile.
  ASSERT_TRUE(send_all(fd, raw_post("/hold", "second")));
  ASSERT_TRUE(gate.wait_for_arrivals(1, 10));
  const http_result other = http_post(url(port, "/quick"), "other", {}, 5000);
  EXPECT_EQ(200, other.status);
  EXPECT_EQ("quick:other", other.body);
  EXPECT_EQ(1u, quick_threads.get().size());
  EXPECT_EQ(0u, held_threads.get().count(*quick_threads.get().begin()));
  gate.open();
  const std::string held = read_answer(fd, 10);
  EXPECT_EQ(200, raw_status(held)) << held;
  EXPECT_NE(std::string::npos, held.find("X-Held: yes"));
  EXPECT_EQ("held:second", body_of(held));
  // And back to the pool on the same connection.
  ASSERT_TRUE(send_all(fd, raw_post("/quick", "third")));
  EXPECT_EQ("quick:third", body_of(read_answer(fd, 5)));
  close(fd);
}

TEST_F(ScsTest, StopEndsAWaitingCallbackOfAPooledConnection) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nnonblocking_workers = 2", "", listener));
  Gate gate;
  std::atomic<bool> returned{false};
  ASSERT_EQ(0u, serve(listener, "/quick", [](const TestRequest&, std::string& answer) {
    answer = "quick";
    return 0u;
  }, kNeverBlocks));
  ASSERT_EQ(0u, serve(listener, "/hold", [&](const TestRequest&, std::string& answer) {
    gate.arrive_and_wait();
    answer = "too late";
    returned = true;
    return 0u;
  }));
  const int port = start(listener, "/quick");
  const int baseline = thread_count();
  const int fd = connect_local(port);
  ASSERT_TRUE(send_all(fd, raw_post("/quick", "")));
  EXPECT_EQ("quick", body_of(read_answer(fd, 5)));
  ASSERT_TRUE(send_all(fd, raw_post("/hold", "")));
  ASSERT_TRUE(gate.wait_for_arrivals(1, 10));
  std::atomic<std::uint32_t> stopped{1};
  std::thread stop([&] { stopped = SCS_SERVER_StopServer(listener); });
  // The client sees its connection closed at once; the stop waits for the callback.
  EXPECT_TRUE(wait_closed(fd, 5));
  close(fd);
  EXPECT_FALSE(returned.load());
  gate.open();
  stop.join();
  EXPECT_EQ(0u, stopped.load());
  EXPECT_TRUE(returned.load());
  EXPECT_TRUE(wait_for_threads_at_most(baseline, 10));
}

TEST_F(ScsTest, SplitEndpointServesLateSplitAndLargeRequestsAndQuiesces) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nnonblocking_workers = 1", "", listener));
  Threads quick_threads;
  ASSERT_EQ(0u, serve(listener, "/quick", quick_handler(quick_threads), kNeverBlocks));
  const int port = start(listener, "/quick");
  // Connections stay open to the end, so that threads of their own stay told apart.
  std::vector<int> open;
  const auto ask = [&](const std::string& first, const std::string& rest) {
    open.push_back(connect_local(port));
    EXPECT_TRUE(send_all(open.back(), first));
    if (!rest.empty()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      EXPECT_TRUE(send_all(open.back(), rest));
    }
    return body_of(read_answer(open.back(), 5));
  };
  // A request line in pieces is still read whole before the connection is handed on.
  EXPECT_EQ("quick:a",
            ask("POST /qu", "ick?x=1 HTTP/1.1\r\nHost: h\r\nContent-Length: 1\r\n\r\na"));
  EXPECT_EQ(1u, quick_threads.get().size());  // the pool's one worker
  // A client silent for longer than the router waits goes to a thread of its own.
  open.push_back(connect_local(port));
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  ASSERT_TRUE(send_all(open.back(), raw_post("/quick", "late")));
  EXPECT_EQ("quick:late", body_of(read_answer(open.back(), 5)));
  EXPECT_EQ(2u, quick_threads.get().size());
  // So does one whose headers are longer than a pooled connection holds; shorter ones
  // go to the pool.
  const auto with_header = [](std::size_t size, const std::string& body) {
    return "POST /quick HTTP/1.1\r\nHost: h\r\nX-Big: " + std::string(size, 'b') +
           "\r\nContent-Length: 1\r\n\r\n" + body;
  };
  EXPECT_EQ("quick:c", ask(with_header(6000, "c"), ""));
  EXPECT_EQ(3u, quick_threads.get().size());
  EXPECT_EQ("quick:d", ask(with_header(3000, "d"), ""));
  EXPECT_EQ("quick:e", ask("\r\n" + raw_post("/quick", "e"), ""));  // empty lines first are allowed
  EXPECT_EQ(3u, quick_threads.get().size());
  EXPECT_EQ(404, raw_status(raw_exchange(port, raw_post("/nothing", "", true))));

  ASSERT_EQ(0u, SCS_SERVER_QuiesceServer(listener));
  EXPECT_EQ(-1, connect_local(port));
  ASSERT_TRUE(send_all(open.front(), raw_post("/quick", "after")));
  EXPECT_EQ(503, raw_status(read_answer(open.front(), 5)));
  for (int fd : open) close(fd);
}

TEST_F(ScsTest, SplitEndpointSendsABurstOfClientsThatConnectBeforeTheySendToItsPool) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nper_ip_limit = 0\nnonblocking_workers = 1", "", listener));
  Threads quick_threads;
  ASSERT_EQ(0u, serve(listener, "/quick", quick_handler(quick_threads), kNeverBlocks));
  const int port = start(listener, "/quick");
  // More clients than the router's smallest bound (128; a quarter of 1024 descriptors
  // is more) connect first, as a load generator does, and only then send: none is
  // handed on unread while the rest connect.
  std::vector<int> burst;
  for (int i = 0; i < 200; ++i) burst.push_back(connect_local(port));
  ASSERT_TRUE(accept_queue_empties(port, 5));  // the router has taken them all
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(send_all(burst[i], raw_post("/quick", std::to_string(i))));
  }
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ("quick:" + std::to_string(i), body_of(read_answer(burst[i], 5)));
    close(burst[i]);
  }
  EXPECT_EQ(1u, quick_threads.get().size());  // the pool's one worker served them all
}

TEST_F(ScsTest, NonblockingWorkersSettings) {
  std::uint32_t listener = 0;
  EXPECT_EQ(0xC7210107u, add("port = 0\nworkers = 2\nnonblocking_workers = 2", "", listener));
  EXPECT_FALSE(logged("exclude each other").empty());
  EXPECT_EQ(0xC7210107u, add("port = 0\nnonblocking_workers = 65", "", listener));
  // The layout of a running endpoint changes at a restart only.
  ASSERT_EQ(0u, add("port = 0\nnonblocking_workers = 2", "", listener));
  ASSERT_EQ(0u, serve(listener, "/quick", [](const TestRequest&, std::string& answer) {
    answer = "quick";
    return 0u;
  }, kNeverBlocks));
  const int port = start(listener, "/quick");
  EXPECT_EQ(SCS_STATUS_RESTART_NEEDED,
            SCS_SERVER_ReloadListener(listener, "port = 0\nnonblocking_workers = 1", nullptr,
                                      "", nullptr));
  EXPECT_FALSE(logged("endpoint 'default' nonblocking_workers 2 -> 1").empty());
  EXPECT_EQ("quick", http_post(url(port, "/quick"), "").body);

  // With TLS the request line comes encrypted: every connection has a thread of its
  // own, and no client is kept waiting for a line the router cannot read.
  const TestPki pki = make_test_pki();
  std::uint32_t secure = 0;
  ASSERT_EQ(0u, add("port = 0\nnonblocking_workers = 2\ntls_cert_file = " + pki.server_cert +
                        "\ntls_key_file = " + pki.server_key + "\n",
                    "", secure));
  ASSERT_EQ(0u, serve(secure, "/quick", [](const TestRequest&, std::string& answer) {
    answer = "secure";
    return 0u;
  }, kNeverBlocks));
  const int tls_port = start(secure, "/quick");
  EXPECT_FALSE(logged("nonblocking_workers is not used with TLS").empty());
  http_options client;
  client.ca_file = pki.ca_cert;
  const auto began = std::chrono::steady_clock::now();
  const http_result result = http_request(url(tls_port, "/quick", true), "", client);
  EXPECT_EQ(200, result.status) << result.error;
  EXPECT_EQ("secure", result.body);
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(900));
}
