// qelcs-remote: the remote tunnel client. Each poller runs on a worker thread of its
// own; the main thread takes SIGINT/SIGTERM synchronously, prints the periodic status
// line and the summary at the end.
#include <curl/curl.h>
#include <signal.h>
#include <systemd/sd-daemon.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "forwarder.h"
#include "log_line.h"
#include "poll_loop.h"
#include "poller_group.h"
#include "qel_build_info.h"
#include "remote_options.h"
#include "tunnel_status.h"

using namespace qelcs_remote;

namespace {

// libcurl's process-wide state, for the life of main.
struct curl_global {
  curl_global() { curl_global_init(CURL_GLOBAL_DEFAULT); }
  ~curl_global() { curl_global_cleanup(); }
};

sigset_t block_stop_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);  // inherited by the worker thread
  signal(SIGPIPE, SIG_IGN);
  return set;
}

// Waits for the worker to finish, turning a stop signal into the stop flag and
// printing the status line every `interval_s` seconds.
void supervise(const sigset_t& signals, const std::atomic<bool>& done, std::atomic<bool>& stop,
               const tunnel_status& status, double interval_s) {
  using clock = std::chrono::steady_clock;
  auto next_line = clock::now() + std::chrono::milliseconds(static_cast<long>(interval_s * 1000));
  const timespec tick{0, 200 * 1000 * 1000};
  while (!done.load()) {
    const int received = sigtimedwait(&signals, nullptr, &tick);
    if ((received == SIGINT || received == SIGTERM) && !stop.exchange(true))
      log_line(std::string(received == SIGINT ? "SIGINT" : "SIGTERM") + " received, stopping");
    if (interval_s > 0 && clock::now() >= next_line) {
      log_line(status_line(status));
      next_line += std::chrono::milliseconds(static_cast<long>(interval_s * 1000));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const sigset_t signals = block_stop_signals();
  remote_options options;
  std::string error;
  if (!parse_remote_options(argc, argv, options, error)) {
    log_line(error + "\nTry 'qelcs-remote --help'.");
    return 1;
  }
  if (options.help) {
    std::fputs(remote_usage().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("qelcs-remote %s\n", QEL_VERSION);
    return 0;
  }
  curl_global curl;
  tunnel_status status;
  std::atomic<bool> stop{false}, done{false};
  const unsigned pollers = options.poll.pollers;
  poller_group group(pollers);
  std::vector<std::unique_ptr<forwarder>> targets;
  std::vector<std::unique_ptr<poll_loop>> loops;
  for (unsigned i = 0; i < pollers; ++i) {
    targets.push_back(std::make_unique<forwarder>(options.target_url, options.target_timeout_ms));
    loops.push_back(std::make_unique<poll_loop>(i, options.poll, *targets.back(), status, group, stop));
  }
  log_line("polling " + options.poll.poll_url + " with " + std::to_string(pollers) +
           (pollers == 1 ? " poller" : " pollers") + ", forwarding to " + options.target_url);
  const auto started = std::chrono::steady_clock::now();
  status.state = tunnel_state::running;
  std::atomic<unsigned> running{pollers};
  std::vector<std::thread> workers;
  for (auto& loop : loops) {
    workers.emplace_back([&, poller = loop.get()] {
      poller->run();
      if (--running == 0) done = true;
    });
  }
  // Ready once the options are valid and polling has begun; a host that is not up yet
  // is retried with backoff, so readiness does not wait for the first poll to connect.
  sd_notify(0, "READY=1");
  supervise(signals, done, stop, status, options.status_interval_s);
  for (auto& worker : workers) worker.join();
  status.state = tunnel_state::stopped;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
  log_line(summary_line(status, elapsed.count()));
  return 0;
}
