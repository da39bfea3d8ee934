// Load test of the HTTP service library: each iteration opens N connections to one
// listener on 127.0.0.1, sends a POST on each, waits until all N callbacks are blocked
// at once, releases them and reads every answer. Reported per iteration: the time for
// the whole round; counters: answered requests, threads left over after the round
// (must be 0), resident memory once warm (after half of the rounds) and its growth
// from then to the end. The first rounds grow the process (malloc arenas of the many
// connection threads, the C library's cache of thread stacks) until it levels off; a
// leak shows as growth that goes on in the second half. A round with a missing
// answer, a leftover thread or second-half growth above 16 MiB is an error.
//
// Needs 2*N+100 open files: the benchmark raises its soft limit up to the hard one.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "qelSessionConfigSvcs.h"
#include "tests/support/polling.h"
#include "tests/support/raw_socket.h"

namespace {

// Holds callbacks until released; counts arrivals.
struct Gate {
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t arrived = 0;
  bool open = false;
} g_gate;

std::mutex g_log_mutex;
int g_port = 0;

std::uint32_t held_callback(std::uint32_t, std::uint32_t, const std::uint8_t*, std::uint32_t,
                            std::uint8_t** response, std::uint32_t* length, const SCS_REQUEST*) {
  std::unique_lock<std::mutex> lock(g_gate.mutex);
  ++g_gate.arrived;
  g_gate.changed.notify_all();
  g_gate.changed.wait(lock, [] { return g_gate.open; });
  *response = static_cast<std::uint8_t*>(SCS_Allocate(2));
  std::memcpy(*response, "ok", 2);
  *length = 2;
  return 0;
}

void on_log(std::uintptr_t, std::uint32_t, const char* message, const char*) {
  const char* at = std::strstr(message, " at http://127.0.0.1:");
  std::lock_guard<std::mutex> lock(g_log_mutex);
  if (at != nullptr) g_port = std::atoi(std::strrchr(message, ':') + 1);
}

std::size_t thread_count() { return static_cast<std::size_t>(qeltest::thread_count()); }

long rss_kib() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

bool raise_file_limit(rlim_t needed) {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  if (limit.rlim_cur >= needed) return true;
  if (limit.rlim_max < needed) return false;
  limit.rlim_cur = limit.rlim_max;
  return setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

int connect_and_post(int port) {
  static const std::string kRequest =
      "POST /hold HTTP/1.1\r\nHost: h\r\nConnection: close\r\nContent-Length: 1\r\n\r\nx";
  const int fd = qeltest::connect_local(port);
  if (fd >= 0 && !qeltest::send_all(fd, kRequest)) {
    close(fd);
    return -1;
  }
  return fd;
}

// True when the whole answer is a 200 with body "ok".
bool read_answer(int fd) {
  std::string text;
  char buffer[1024];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 30000) <= 0) break;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return text.rfind("HTTP/1.1 200", 0) == 0 && text.size() > 2 &&
         text.compare(text.size() - 2, 2, "ok") == 0;
}

bool wait_for_arrivals(std::size_t count) {
  std::unique_lock<std::mutex> lock(g_gate.mutex);
  return g_gate.changed.wait_for(lock, std::chrono::seconds(120),
                                 [&] { return g_gate.arrived >= count; });
}

void set_gate(bool open) {
  std::lock_guard<std::mutex> lock(g_gate.mutex);
  g_gate.open = open;
  if (!open) g_gate.arrived = 0;
  g_gate.changed.notify_all();
}

bool wait_for_threads(std::size_t limit) {
  for (int i = 0; i < 600 && thread_count() > limit; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return thread_count() <= limit;
}

// One round: returns the number of answered requests.
int hold_round(int port, int requests) {
  set_gate(false);
  std::vector<int> clients;
  for (int i = 0; i < requests; ++i) {
    const int fd = connect_and_post(port);
    if (fd >= 0) clients.push_back(fd);
  }
  if (!wait_for_arrivals(clients.size())) return -1;
  set_gate(true);
  int answered = 0;
  for (int fd : clients) answered += read_answer(fd);
  return answered;
}

bool start_listener(int requests, std::uint32_t& listener) {
  static const mslLogSink sink{0, MSL_LOG_INFO | MSL_LOG_ERROR, &on_log};
  const std::string settings = "port = 0\nper_ip_limit = 0\nconnection_limit = " +
                               std::to_string(requests + 100) + "\n";
  return SCS_SERVER_Init("bench", "bench", "bench", &sink) == 0 &&
         SCS_SERVER_AddListener(settings.c_str(), "", &listener) == 0 &&
         SCS_SERVER_RegisterOnPostData(listener, "/hold", 1, &held_callback,
                                       SCS_POST_MODE_BUFFERED) == 0 &&
         SCS_SERVER_StartServer(listener) == 0;
}

void BM_HoldAndRelease(benchmark::State& state) {
  const int requests = static_cast<int>(state.range(0));
  std::uint32_t listener = 0;
  if (!raise_file_limit(static_cast<rlim_t>(2 * requests + 200))) {
    state.SkipWithError("the open-file hard limit is too low; raise it with ulimit -Hn");
    return;
  }
  if (!start_listener(requests, listener)) {
    state.SkipWithError("the listener did not start");
    return;
  }
  const std::size_t baseline = thread_count();
  long warm_rss = 0;
  int answered = 0;
  std::int64_t round = 0;
  for (auto _ : state) {
    answered = hold_round(g_port, requests);
    if (answered != requests) state.SkipWithError("not every held request was answered");
    if (!wait_for_threads(baseline)) state.SkipWithError("connection threads were left behind");
    if (++round == state.max_iterations / 2) warm_rss = rss_kib();
  }
  const long growth = rss_kib() - warm_rss;
  if (growth > 16 * 1024) state.SkipWithError("resident memory kept growing");
  state.counters["answered"] = answered;
  state.counters["threads_left"] = static_cast<double>(thread_count() - baseline);
  state.counters["rss_warm_kib"] = static_cast<double>(warm_rss);
  state.counters["rss_growth_kib"] = static_cast<double>(growth);
  SCS_SERVER_ShutDown();
}
BENCHMARK(BM_HoldAndRelease)->Arg(2000)->Iterations(12)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
