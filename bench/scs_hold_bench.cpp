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
// BM_HeldMemory holds 10,000 requests once, with the clients in a child process (this
// program again, with --hold-clients), and reports the memory each held request costs:
// resident memory of the process (and of it the thread stacks), and the kernel's
// (thread stacks, page tables, unreclaimable slab: from /proc/meminfo, so the whole
// machine's, both ends of each connection included).
//
// Needs 2*N+100 open files (N+200 for BM_HeldMemory): the benchmark raises its soft
// limit up to the hard one.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <limits.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "qelSessionConfigSvcs.h"
#include "tests/support/child_process.h"
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

// KiB of /proc/meminfo lines, by name.
std::map<std::string, long> meminfo() {
  std::map<std::string, long> values;
  std::ifstream file("/proc/meminfo");
  std::string name;
  long kib = 0;
  std::string unit;
  while (file >> name >> kib) {
    values[name.substr(0, name.size() - 1)] = kib;
    std::getline(file, unit);
  }
  return values;
}

long kernel_kib() {
  const auto m = meminfo();
  return m.at("KernelStack") + m.at("PageTables") + m.at("SUnreclaim");
}

// Resident KiB of the thread stacks: the anonymous read-write mappings of the size
// that most mappings have (with thousands of connection threads, theirs), and that size.
long stacks_kib(std::size_t& size) {
  std::ifstream smaps("/proc/self/smaps");
  std::map<std::size_t, std::pair<long, long>> by_size;  // size -> (mappings, KiB)
  std::string line;
  std::size_t current = 0;
  while (std::getline(smaps, line)) {
    unsigned long low = 0, high = 0;
    char perms[8] = "";
    int name_at = 0;
    const int fields =
        std::sscanf(line.c_str(), "%lx-%lx %7s %*s %*s %*s %n", &low, &high, perms, &name_at);
    if (fields >= 3 && line.find("-") < 17) {
      const bool anonymous = name_at > 0 && static_cast<std::size_t>(name_at) >= line.size();
      current = anonymous && std::string(perms) == "rw-p" ? high - low : 0;
      if (current != 0) ++by_size[current].first;
    } else if (current != 0 && line.rfind("Rss:", 0) == 0) {
      by_size[current].second += std::atol(line.c_str() + 4);
    }
  }
  long mappings = 0, kib = 0;
  for (const auto& [bytes, figures] : by_size) {
    if (figures.first <= mappings) continue;
    mappings = figures.first;
    kib = figures.second;
    size = bytes;
  }
  return kib;
}

std::string own_path() {
  char path[PATH_MAX] = {0};
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : "";
}

// The child side of BM_HeldMemory: N connections, each a POST; then reads every answer
// and exits 0 when all were 200 "ok".
int hold_clients(int port, int requests) {
  std::vector<int> clients;
  for (int i = 0; i < requests; ++i) {
    const int fd = connect_and_post(port);
    if (fd < 0) return 2;
    clients.push_back(fd);
  }
  int answered = 0;
  for (int fd : clients) answered += read_answer(fd);
  std::printf("answered %d of %d\n", answered, requests);
  return answered == requests ? 0 : 1;
}

void BM_HeldMemory(benchmark::State& state) {
  const int requests = static_cast<int>(state.range(0));
  std::uint32_t listener = 0;
  if (!raise_file_limit(static_cast<rlim_t>(requests + 200))) {
    state.SkipWithError("the open-file hard limit is too low; raise it with ulimit -Hn");
    return;
  }
  if (!start_listener(requests, listener)) {
    state.SkipWithError("the listener did not start");
    return;
  }
  // Warm: the connection threads' malloc arenas exist, as in a server that has run.
  if (hold_round(g_port, 200) != 200) state.SkipWithError("the warm-up round failed");
  wait_for_threads(thread_count() - 200);
  for (auto _ : state) {
    set_gate(false);
    const long rss_before = rss_kib(), kernel_before = kernel_kib();
    qeltest::child_process clients({own_path(), "--hold-clients", std::to_string(g_port),
                                    std::to_string(requests)},
                                   "scs_hold_bench.clients.log");
    if (!wait_for_arrivals(static_cast<std::size_t>(requests))) {
      state.SkipWithError("not every request arrived");
      set_gate(true);
      break;
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long rss = rss_kib() - rss_before, kernel = kernel_kib() - kernel_before;
    std::size_t stack_size = 0;
    const long stacks = stacks_kib(stack_size);
    set_gate(true);
    if (clients.wait(120000) != 0) state.SkipWithError("not every held request was answered");
    state.counters["held"] = requests;
    state.counters["rss_kib_per_held"] = static_cast<double>(rss) / requests;
    state.counters["stack_rss_kib_per_held"] = static_cast<double>(stacks) / requests;
    state.counters["stack_size_kib"] = static_cast<double>(stack_size) / 1024;
    state.counters["kernel_kib_per_held"] = static_cast<double>(kernel) / requests;
  }
  SCS_SERVER_ShutDown();
}
BENCHMARK(BM_HeldMemory)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--hold-clients") {
    return hold_clients(std::atoi(argv[2]), std::atoi(argv[3]));
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
