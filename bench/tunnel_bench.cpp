// tunnel_bench: first holds many callers waiting at once until a remote client starts
// and answers them all; then, for 1, 4 and 8 pollers and 1, 4 and 16 callers in flight,
// the throughput and latency of caller requests through the reverse tunnel (qelcs-host +
// qelcs-remote + a local target, all on 127.0.0.1) beside the same requests sent to the
// target directly, as ratios. Bounded in count and time.
#include <curl/curl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/free_port.h"
#include "tunnel_load.h"
#include "tunnel_target.h"

using namespace tunnel_bench;
using qeltest::child_process;
using qeltest::free_port;

namespace {

struct bench_options {
  int requests = 2000;
  int hold = 1000;  // 0: skip the hold mode
  int body_bytes = 64;
  std::string bin;  // folder of qelcs-host and qelcs-remote; default: beside this program
  std::string listener_settings;  // added to the host's listener settings (one "key = value")
  std::string tunnel_settings;    // added to the host's tunnel settings
};

bool parse(int argc, char** argv, bench_options& o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const std::string value = argv[i + 1];
    if (name == "--requests") o.requests = std::atoi(value.c_str());
    else if (name == "--hold") o.hold = std::atoi(value.c_str());
    else if (name == "--body-bytes") o.body_bytes = std::atoi(value.c_str());
    else if (name == "--bin") o.bin = value;
    else if (name == "--listener-setting") o.listener_settings += value + "\n";
    else if (name == "--tunnel-setting") o.tunnel_settings += value + "\n";
    else return false;
  }
  return argc % 2 == 1 && o.requests > 0 && o.hold >= 0 && o.body_bytes >= 0;
}

std::string own_folder() {
  char path[PATH_MAX] = {0};
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  const std::string self = n > 0 ? std::string(path, static_cast<size_t>(n)) : "./x";
  return self.substr(0, self.rfind('/'));
}

void print_row(int pollers, int callers, const load_result& direct, const load_result& tunnel) {
  const auto ratio = [](double a, double b) { return b > 0 ? a / b : 0; };
  std::printf("%7d %7d %10.0f %10.0f %7.3f %8.2f %8.2f %6.2f %8.2f %8.2f %6.2f\n", pollers, callers,
              direct.per_second(), tunnel.per_second(),
              ratio(tunnel.per_second(), direct.per_second()), direct.percentile(50),
              tunnel.percentile(50), ratio(tunnel.percentile(50), direct.percentile(50)),
              direct.percentile(99), tunnel.percentile(99),
              ratio(tunnel.percentile(99), direct.percentile(99)));
}

// Starts qelcs-remote with `pollers` polls open; its output goes to a file in the
// working folder.
std::unique_ptr<child_process> start_remote(const bench_options& o, const std::string& host,
                                    const std::string& target, int pollers) {
  return std::make_unique<child_process>(
      std::vector<std::string>{o.bin + "/qelcs-remote", "--poll", host + "/qel/reverseConnection",
                               "--target", target, "--status-interval", "0", "--pollers",
                               std::to_string(pollers)},
      "tunnel_bench.remote." + std::to_string(pollers) + ".log");
}

// VmRSS of a process in KiB (0 when it cannot be read).
long resident_kib(pid_t pid) {
  std::FILE* status = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
  if (status == nullptr) return 0;
  char line[256];
  long kib = 0;
  while (std::fgets(line, sizeof line, status) != nullptr)
    if (std::sscanf(line, "VmRSS: %ld kB", &kib) == 1) break;
  std::fclose(status);
  return kib;
}

// Holds `o.hold` callers waiting with no remote client, then starts the one the rest of
// the run uses: are they all answered? Runs first, so that no earlier client can have
// left a parked poll behind that would take the first caller.
bool run_hold(const bench_options& o, const std::string& host, const std::string& body,
              pid_t host_pid, const std::function<void()>& start_client) {
  load_result held;
  const long before_kib = resident_kib(host_pid);
  std::thread callers([&] { held = run_load(host + "/qel", body, o.hold, o.hold, 200, 120000); });
  std::this_thread::sleep_for(std::chrono::seconds(3 + o.hold / 2000));  // all connected, waiting
  const long holding_kib = resident_kib(host_pid);
  std::printf("hold: host resident memory %.1f MiB before, %.1f MiB holding %d callers: %.1f KiB "
              "each\n", before_kib / 1024.0, holding_kib / 1024.0, o.hold,
              static_cast<double>(holding_kib - before_kib) / o.hold);
  const auto released = std::chrono::steady_clock::now();
  start_client();
  callers.join();
  const std::chrono::duration<double> drained = std::chrono::steady_clock::now() - released;
  std::printf("hold: %d callers waiting at once: %d answered, %d failed; all done %.2f s after "
              "the remote client started (latency p50 %.0f ms, p99 %.0f ms, waiting included)\n",
              o.hold, held.answered, held.failed, drained.count(), held.percentile(50),
              held.percentile(99));
  return held.answered == o.hold;
}

// For each poller count, each caller count: the same requests sent to the target
// directly and through the tunnel, as ratios. True when nothing failed.
bool run_matrix(const bench_options& o, const std::string& host, const std::string& target,
                const std::string& body, std::unique_ptr<child_process>& remote) {
  std::printf("%d requests of %d bytes per cell, loopback; ratio = tunnel / direct\n", o.requests,
              o.body_bytes);
  std::printf("%7s %7s %10s %10s %7s %8s %8s %6s %8s %8s %6s\n", "pollers", "callers", "direct/s",
              "tunnel/s", "ratio", "d p50ms", "t p50ms", "ratio", "d p99ms", "t p99ms", "ratio");
  bool clean = true;
  for (const int pollers : {1, 4, 8}) {
    if (remote) remote->stop(SIGTERM, 10000);  // the previous client ends cleanly
    remote = start_remote(o, host, target, pollers);
    run_load(host + "/qel", body, 50, pollers, 200, 30000);  // warm-up: every poller connected
    for (const int callers : {1, 4, 16}) {
      const load_result direct = run_load(target + "/qel", body, o.requests, callers, 200, 30000);
      const load_result tunnel = run_load(host + "/qel", body, o.requests, callers, 200, 60000);
      print_row(pollers, callers, direct, tunnel);
      clean = clean && direct.failed == 0 && tunnel.failed == 0;
    }
  }
  return clean;
}

}  // namespace

int main(int argc, char** argv) {
  bench_options o;
  if (!parse(argc, argv, o)) {
    std::fprintf(stderr, "usage: tunnel_bench [--requests N] [--hold N] [--body-bytes B] [--bin DIR]\n"
                         "                    [--listener-setting 'KEY = VALUE']... "
                         "[--tunnel-setting 'KEY = VALUE']...\n");
    return 2;
  }
  if (o.bin.empty()) o.bin = own_folder();
  curl_global_init(CURL_GLOBAL_DEFAULT);
  const int port = free_port();
  target_service target(free_port());
  const std::string host = "http://127.0.0.1:" + std::to_string(port);
  const std::string settings = "address = 127.0.0.1\nport = " + std::to_string(port) +
                               "\nconnection_limit = " + std::to_string(o.hold + 500) +
                               "\nper_ip_limit = 0\nnonblocking_workers = 1\n" + o.listener_settings;
  // One endpoint with one worker, as each of qelcs-host's shipped endpoints (its tunnel
  // settings answer callers and polls later). No deadline and no bound: the hold mode
  // keeps more callers waiting than the host's defaults allow.
  child_process host_process({o.bin + "/qelcs-host", "--listener-settings-1", settings, "--reserved-settings",
                      "caller_timeout = 0\nmax_waiting_callers = 0\n" + o.tunnel_settings},
                     "tunnel_bench.host.log");
  bool ready = false;
  for (int i = 0; i < 300 && !ready && host_process.running(); ++i) {
    ready = run_load(host + "/qel/sensor_services/management", "", 1, 1, 200, 2000).answered == 1;
    if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!target.running() || !ready) {
    std::fprintf(stderr, "tunnel_bench: the target or qelcs-host did not start (see tunnel_bench.host.log)\n");
    return 1;
  }
  const std::string body(static_cast<size_t>(o.body_bytes), 'x');
  std::unique_ptr<child_process> remote;
  const auto start_client = [&] { remote = start_remote(o, host, target.url(), 4); };
  bool all_answered = true;
  if (o.hold > 0) all_answered = run_hold(o, host, body, host_process.pid(), start_client);
  all_answered = run_matrix(o, host, target.url(), body, remote) && all_answered;
  remote->stop(SIGTERM, 15000);
  host_process.stop(SIGTERM, 15000);
  curl_global_cleanup();
  return all_answered ? 0 : 1;
}
