// Memory of buffered request bodies in the HTTP service library: 40 callers POST 15 MiB
// bodies to a callback that holds them until all have arrived, then all are answered.
// Counters: resident memory before, with the 40 bodies held (peak) and once their
// requests and threads are gone (after); the first round runs with a body budget large
// enough for all 40, the second with the default budget (256 MiB), where the callers
// beyond it are refused 503 before their body is read. A resident size after the round
// more than 64 MiB above the one before is an error: the memory did not come back.
//
// Run: build/bin/scs_body_memory_bench. Takes a few seconds (1.2 GB over loopback).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
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

constexpr int kCallers = 40;
constexpr std::size_t kBody = 15u << 20;

std::mutex g_mutex;
std::condition_variable g_changed;
int g_arrived = 0;
bool g_open = false;
int g_port = 0;

std::uint32_t held_callback(std::uint32_t, std::uint32_t, const std::uint8_t*, std::uint32_t,
                            std::uint8_t**, std::uint32_t*, const SCS_REQUEST*) {
  std::unique_lock<std::mutex> lock(g_mutex);
  ++g_arrived;
  g_changed.notify_all();
  g_changed.wait(lock, [] { return g_open; });
  return 0;
}

void on_log(std::uintptr_t, std::uint32_t, const char* message, const char*) {
  const char* at = std::strstr(message, " at http://127.0.0.1:");
  std::lock_guard<std::mutex> lock(g_mutex);
  if (at != nullptr) g_port = std::atoi(std::strrchr(message, ':') + 1);
}

double resident_mib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  }
  return 0;
}

// One round: every caller sends its body; returns how many were answered 200 and 503.
void round(const std::string& settings, benchmark::State& state, const char* prefix) {
  std::uint32_t listener = 0;
  // A library without body_budget (before it had one) runs the round without it.
  if ((SCS_SERVER_AddListener(settings.c_str(), "", &listener) != 0 &&
       SCS_SERVER_AddListener("port = 0\nper_ip_limit = 0", "", &listener) != 0) ||
      SCS_SERVER_RegisterOnPostData(listener, "/qel", 1, &held_callback, 2) != 0 ||
      SCS_SERVER_StartServer(listener) != 0) {
    state.SkipWithError("the listener did not start");
    return;
  }
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_arrived = 0;
    g_open = false;
  }
  const int baseline_threads = qeltest::thread_count();
  static const std::string body(kBody, 'b');  // the callers' side shares one copy
  const double before = resident_mib();
  const std::string head = "POST /qel HTTP/1.1\r\nHost: h\r\nConnection: close\r\nContent-Length: " +
                           std::to_string(kBody) + "\r\n\r\n";
  std::atomic<int> ok{0}, refused{0};
  std::vector<std::thread> callers;
  for (int i = 0; i < kCallers; ++i) {
    callers.emplace_back([&] {
      const int fd = qeltest::connect_local(g_port);
      qeltest::send_all(fd, head);
      qeltest::send_all(fd, body);  // fails once a refusal closes the connection
      const int status = qeltest::raw_status(qeltest::read_all(fd, 60));
      close(fd);
      ok += status == 200;
      refused += status == 503;
    });
  }
  // Held: every admitted caller's body is in memory at once.
  qeltest::wait_until([&] {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_arrived + refused.load() >= kCallers;
  }, 60000);
  const double peak = resident_mib();
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_open = true;
  }
  g_changed.notify_all();
  for (std::thread& t : callers) t.join();
  SCS_SERVER_RemoveListener(listener);
  qeltest::wait_until([&] { return qeltest::thread_count() <= baseline_threads; }, 10000);
  const double after = resident_mib();
  const std::string p = prefix;
  state.counters[p + "rss_before_MiB"] = before;
  state.counters[p + "rss_held_MiB"] = peak;
  state.counters[p + "rss_after_MiB"] = after;
  state.counters[p + "answered_200"] = ok.load();
  state.counters[p + "refused_503"] = refused.load();
  std::fprintf(stderr, "%s: resident %.0f MiB before, %.0f MiB held, %.0f MiB after; %d answered, %d refused\n",
               settings.c_str(), before, peak, after, ok.load(), refused.load());
  if (ok + refused != kCallers) state.SkipWithError("a caller got neither 200 nor 503");
  if (after - before > 64) state.SkipWithError("the bodies' memory did not come back");
}

void BodiesHeldAndReleased(benchmark::State& state) {
  static const mslLogSink sink{0, MSL_LOG_INFO, &on_log};
  SCS_SERVER_Init("5.0", "bench", "scs_body_memory_bench", &sink);
  for (auto _ : state) {
    round("port = 0\nper_ip_limit = 0\nbody_budget = 1073741824", state, "a_");
    round("port = 0\nper_ip_limit = 0", state, "b_");
  }
  SCS_SERVER_ShutDown();
}
BENCHMARK(BodiesHeldAndReleased)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
