// Limits that answer: callers over a limit get 503 (never a bare close), slow clients
// are ended, bodies are held within a budget, and each framing error gets one answer.
// Raw sockets throughout: a test must see every byte the server writes, until close.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "scs_test_support.h"

using namespace qeltest;

namespace {

std::string post_head(const std::string& resource, std::uint64_t length,
                      const std::string& extra = "") {
  return "POST " + resource + " HTTP/1.1\r\nHost: h\r\nConnection: close\r\n" + extra +
         "Content-Length: " + std::to_string(length) + "\r\n\r\n";
}

// How many status lines (lines that start "HTTP/1.") an answer read until close holds.
int status_lines(const std::string& answer) {
  int n = 0;
  for (auto at = answer.find("HTTP/1."); at != std::string::npos; at = answer.find("HTTP/1.", at + 1)) {
    n += at == 0 || answer[at - 1] == '\n';
  }
  return n;
}

std::size_t lines_at_level(const std::vector<std::string>& lines, std::uint32_t level) {
  std::size_t n = 0;
  for (const std::string& line : lines) n += line.rfind(std::to_string(level) + " ", 0) == 0;
  return n;
}

// How many of `sockets` have something to read (an answer or the close).
int answered_count(const std::vector<int>& sockets) {
  std::vector<pollfd> polled;
  for (int fd : sockets) polled.push_back(pollfd{fd, POLLIN, 0});
  poll(polled.data(), polled.size(), 0);
  int n = 0;
  for (const pollfd& p : polled) n += (p.revents & (POLLIN | POLLHUP)) != 0;
  return n;
}

TestHandler held_by(Gate& gate) {
  return [&gate](const TestRequest& r, std::string& answer) {
    gate.arrive_and_wait();
    answer = "held:" + std::to_string(r.body.size());
    return 0u;
  };
}

}  // namespace

TEST_F(ScsTest, CallersOverTheAddressLimitAreAnswered503NotClosed) {
  constexpr int kCallers = 600, kLimit = 256;
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nper_ip_limit = 256", "", listener));
  Gate gate;
  ASSERT_EQ(0u, serve(listener, "/qel", held_by(gate)));
  const int port = start(listener, "/qel");
  std::vector<int> callers;
  for (int i = 0; i < kCallers; ++i) {
    callers.push_back(connect_local(port));
    ASSERT_GE(callers.back(), 0) << "caller " << i;
    ASSERT_TRUE(send_all(callers.back(), post_head("/qel", 1) + "x"));
  }
  ASSERT_TRUE(gate.wait_for_arrivals(kLimit, 30));
  // The refused callers have their answer while the admitted ones still wait.
  EXPECT_TRUE(wait_until([&] { return answered_count(callers) >= kCallers - kLimit; }, 30000));
  gate.open();
  int served = 0, refused = 0, other = 0;
  for (int fd : callers) {
    const std::string answer = read_all(fd, 20);
    close(fd);
    const int status = raw_status(answer);
    served += status == 200 && status_lines(answer) == 1;
    if (status == 503 && status_lines(answer) == 1) {
      ++refused;
      EXPECT_NE(std::string::npos, answer.find("Retry-After: ")) << answer;
      EXPECT_NE(std::string::npos, answer.find("Connection: close")) << answer;
      EXPECT_NE(std::string::npos, answer.find("too many connections from your address"));
    }
    other += status != 200 && status != 503;
  }
  EXPECT_EQ(0, other);  // no bare close, nothing else
  EXPECT_EQ(kCallers, served + refused);
  EXPECT_EQ(kLimit, served);
  ASSERT_EQ(0u, SCS_SERVER_StopServer(listener));  // writes the counted lines
  const auto counted = logged("refused ");
  ASSERT_GE(counted.size(), 1u);
  EXPECT_LE(counted.size(), 4u);  // one line per interval, not one per caller
  EXPECT_NE(std::string::npos, counted[0].find("(per-address limit 256)")) << counted[0];
  EXPECT_LE(logged("").size(), 20u);
}

TEST_F(ScsTest, TricklingClientsAreEndedAndAPromptClientGetsIn) {
  constexpr int kSlow = 8;
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nconnection_limit = 4\nheader_timeout = 2", "", listener));
  ASSERT_EQ(0u, serve(listener, "/in", [](const TestRequest&, std::string& a) {
    a = "in";
    return 0u;
  }));
  const int port = start(listener, "/in");
  std::vector<int> slow;
  for (int i = 0; i < kSlow; ++i) {
    slow.push_back(connect_local(port));
    ASSERT_GE(slow.back(), 0);
  }
  std::atomic<bool> trickling{true};
  std::thread trickler([&] {
    const std::string head = "POST /in HTTP/1.1\r\nHost: h\r\nX-Padding: ";
    for (std::size_t i = 0; trickling && i < 200; ++i) {
      for (int fd : slow) send(fd, head.data() + (i % head.size()), 1, MSG_NOSIGNAL);
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  });
  // Once the slow ones have waited a while, a prompt client takes the oldest's place.
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  const auto asked = std::chrono::steady_clock::now();
  const std::string prompt = raw_exchange(port, post_head("/in", 1) + "x");
  EXPECT_EQ(200, raw_status(prompt)) << prompt;
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(3));
  // Every slow connection is ended within the header time-out (and a tick), answered.
  int answered = 0;
  for (int fd : slow) {
    const std::string answer = read_all(fd, 8);
    const int status = raw_status(answer);
    answered += (status == 408 || status == 503) && status_lines(answer) == 1;
  }
  trickling = false;
  trickler.join();
  for (int fd : slow) close(fd);
  EXPECT_EQ(kSlow, answered);
  ASSERT_EQ(0u, SCS_SERVER_StopServer(listener));
  EXPECT_FALSE(logged("to make room for new ones (connection limit 4)").empty());
  EXPECT_FALSE(logged("header_timeout (2 s)").empty());
}

TEST_F(ScsTest, SlowBodiesAreAnswered408) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nheader_timeout = 1\nbody_min_rate = 1000", "", listener));
  std::atomic<int> calls{0};
  ASSERT_EQ(0u, serve(listener, "/in", [&](const TestRequest&, std::string&) {
    ++calls;
    return 0u;
  }));
  const int port = start(listener, "/in");
  const auto began = std::chrono::steady_clock::now();
  // Ten bytes of a hundred thousand, then nothing: due after 1 s + 10 bytes / 1000 B/s.
  const std::string stalled = raw_exchange(port, post_head("/in", 100000) + "0123456789");
  EXPECT_EQ(408, raw_status(stalled)) << stalled;
  EXPECT_EQ(1, status_lines(stalled));
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(4));
  // A chunk far above any limit whose bytes never come ends the same way: the size of
  // a chunk is libmicrohttpd's alone to see (docs/scs.md).
  const std::string huge = raw_exchange(
      port, "POST /in HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked\r\n\r\nffffffffffffffff\r\nabc");
  EXPECT_EQ(408, raw_status(huge)) << huge;
  EXPECT_EQ(0, calls.load());
  // A body that keeps pace is served.
  EXPECT_EQ(200, raw_status(raw_exchange(port, post_head("/in", 3) + "abc")));
}

TEST_F(ScsTest, BodyBudgetRefusesBeforeTheBodyIsRead) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nbody_budget = 1000000\nmax_body_size = 2000000", "", listener));
  Gate gate;
  ASSERT_EQ(0u, serve(listener, "/in", held_by(gate)));
  const int port = start(listener, "/in");
  const int holder = connect_local(port);
  ASSERT_TRUE(send_all(holder, post_head("/in", 600000) + std::string(600000, 'a')));
  ASSERT_TRUE(gate.wait_for_arrivals(1, 10));
  // Only the head: the answer comes without a byte of the body.
  const std::string refused = raw_exchange(port, post_head("/in", 600000));
  EXPECT_EQ(503, raw_status(refused)) << refused;
  EXPECT_NE(std::string::npos, refused.find("Retry-After: 2"));
  EXPECT_NE(std::string::npos, refused.find("no room for this body"));
  // A chunked body is counted as it comes and refused when it runs over.
  const int chunked = connect_local(port);
  ASSERT_TRUE(send_all(chunked, "POST /in HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked\r\n\r\n"));
  const std::string chunk = "10000\r\n" + std::string(0x10000, 'c') + "\r\n";
  for (int i = 0; i < 10 && send_all(chunked, chunk); ++i) {
  }
  const std::string over = read_all(chunked, 5);
  close(chunked);
  EXPECT_EQ(503, raw_status(over)) << over.substr(0, 200);
  EXPECT_EQ(1, status_lines(over));
  gate.open();
  const std::string held = read_all(holder, 10);
  close(holder);
  EXPECT_EQ(200, raw_status(held));
  // Given back: the same body fits again.
  EXPECT_EQ(200, raw_status(raw_exchange(port, post_head("/in", 600000) + std::string(600000, 'b'))));
  ASSERT_EQ(0u, SCS_SERVER_StopServer(listener));
  const auto lines = logged("did not fit in body_budget (1000000 bytes)");
  ASSERT_EQ(1u, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("refused 2 requests"));
}

TEST_F(ScsTest, EachFramingErrorGetsExactlyOneAnswer) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0\nmax_body_size = 1000", "", listener));
  std::atomic<int> calls{0};
  ASSERT_EQ(0u, serve(listener, "/in", [&](const TestRequest&, std::string&) {
    ++calls;
    return 0u;
  }));
  const int port = start(listener, "/in");
  const std::string head = "POST /in HTTP/1.1\r\nHost: h\r\n";
  const std::pair<std::string, int> cases[] = {
      {head + "Content-Length: -1\r\n\r\n", 400},
      {head + "Content-Length: abc\r\n\r\n", 400},
      {head + "Content-Length: 1180591620717411303424\r\n\r\n", 413},
      {"POST /in HTTP/1.1\r\nContent-Length: 1\r\n\r\nx", 400},  // no Host
      {head + "Content-Length: 1001\r\n\r\n", 413},
  };
  for (const auto& [request, status] : cases) {
    const std::string answer = raw_exchange(port, request);
    EXPECT_EQ(status, raw_status(answer)) << request;
    EXPECT_EQ(1, status_lines(answer)) << request << " gave " << answer;
  }
  // A chunked body over the limit is answered when it goes over, not at its end.
  const int fd = connect_local(port);
  ASSERT_TRUE(send_all(fd, head + "Transfer-Encoding: chunked\r\n\r\n400\r\n" +
                               std::string(0x400, 'y') + "\r\n"));
  const std::string over = read_all(fd, 5);  // the client never ends its body
  close(fd);
  EXPECT_EQ(413, raw_status(over)) << over;
  EXPECT_EQ(1, status_lines(over));
  EXPECT_EQ(0, calls.load());
  // The client's mistakes are not the server's errors.
  EXPECT_EQ(0u, lines_at_level(logged(""), MSL_LOG_ERROR));
  EXPECT_EQ(0u, lines_at_level(logged("HTTP server"), MSL_LOG_WARNING));
}

TEST_F(ScsTest, RoutineHangUpsAreInfoAndStatusesCarryTheirText) {
  std::uint32_t listener = 0;
  ASSERT_EQ(0u, add("port = 0", "", listener));
  ASSERT_EQ(0u, serve(listener, "/fail", [](const TestRequest&, std::string&) {
    return 0x47210047u;  // a status of the connection server, not of this library
  }));
  const int port = start(listener, "/fail");
  for (int i = 0; i < 20; ++i) {  // clients that leave mid-request
    const int fd = connect_local(port);
    send_all(fd, "POST /fail HTTP/1.1\r\nHost: h\r\nContent-Length: 10\r\n\r\nabc");
    close(fd);
  }
  EXPECT_EQ(500, raw_status(raw_exchange(port, post_head("/fail", 1) + "x")));
  ASSERT_EQ(0u, SCS_SERVER_StopServer(listener));
  const auto errors = logged("returned status 0x47210047");
  ASSERT_EQ(1u, errors.size());
  EXPECT_EQ(1u, lines_at_level(errors, MSL_LOG_ERROR));
  EXPECT_NE(std::string::npos, errors[0].find("The connection server failed")) << errors[0];
  EXPECT_EQ(1u, lines_at_level(logged(""), MSL_LOG_ERROR));
  EXPECT_EQ(0u, lines_at_level(logged(""), MSL_LOG_WARNING));
  EXPECT_LE(logged("closed by remote side").size(), 2u);  // the first, then a count
}
