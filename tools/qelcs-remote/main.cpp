// qelcs-remote: the remote tunnel client. Every poller runs on one worker thread, the
// event loop of tunnel_client; the main thread takes SIGINT/SIGTERM (stop), SIGHUP
// (reload) and SIGUSR1 (reopen the log file) synchronously, logs the periodic status
// line and the summary at the end; --metrics serves the counters on a thread of its own.
#include <curl/curl.h>
#include <signal.h>
#include <systemd/sd-daemon.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "log_output.h"
#include "metrics_server.h"
#include "poll_loop.h"
#include "poller_group.h"
#include "qel_build_info.h"
#include "live_settings.h"
#include "reload.h"
#include "remote_check.h"
#include "remote_options.h"
#include "tunnel_client.h"
#include "tunnel_status.h"

using namespace qelcs_remote;
using qel::tools::log_error;
using qel::tools::log_info;

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
  sigaddset(&set, SIGHUP);   // reload (supervise)
  sigaddset(&set, SIGUSR1);  // reopen the log file (supervise)
  pthread_sigmask(SIG_BLOCK, &set, nullptr);  // inherited by the worker thread
  signal(SIGPIPE, SIG_IGN);
  return set;
}

// Turns stop signals into the stops of the run. The first SIGINT or SIGTERM, against a
// host that knows declared clients, is a graceful stop: the pollers take nothing new and
// finish what they hold, for at most the drain time; a second signal, the end of the
// drain time, or any signal against an older host, sets the stop flag, which ends every
// open exchange at once.
class stopper {
 public:
  stopper(const poll_settings& settings, poller_group& group, std::atomic<bool>& stop, tunnel_client& client)
      : settings_(settings), group_(group), stop_(stop), client_(client) {}

  void on_signal(int received) {
    const std::string name = received == SIGINT ? "SIGINT" : "SIGTERM";
    if (!group_.stopping() && !stop_.load() && group_.host_knows_clients()) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "%s received, stopping: taking no new requests, finishing those in hand "
                    "(at most %.1f s; a second signal stops at once)",
                    name.c_str(), settings_.drain_timeout_ms / 1000.0);
      log_info(text);
      group_.begin_stop();
      drain_until_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(settings_.drain_timeout_ms);
      // The host releases this client's parked polls; if it cannot be asked, they are cut.
      client_.send_release();
      return;
    }
    if (group_.stopping()) group_.abandon_targets();
    if (!stop_.exchange(true)) log_info(name + " received, stopping" + (group_.stopping() ? " at once" : ""));
    client_.wake();
  }

  // Ends a graceful stop that runs past its drain time.
  void check_drain_time() {
    if (!group_.stopping() || stop_.load() || std::chrono::steady_clock::now() < drain_until_) return;
    qel::tools::log_warning("the drain time is over: stopping at once; requests still with the target are answered 503");
    group_.abandon_targets();
    stop_.store(true);
    client_.wake();
  }

 private:
  const poll_settings& settings_;
  poller_group& group_;
  std::atomic<bool>& stop_;
  tunnel_client& client_;
  std::chrono::steady_clock::time_point drain_until_;
};

// What the main thread needs to answer SIGHUP: the command line to read again, the
// configuration in force and the values the pollers read anew.
struct reload_context {
  int argc;
  char** argv;
  remote_options& running;
  live_settings& live;
};

void reopen_log() {
  std::string error;
  if (qel::tools::log_output::reopen(error)) log_info("SIGUSR1: log file reopened");
  else log_error("SIGUSR1: " + error + "; the log goes on to the file in use");
}

// Waits for the workers to finish, handing stop signals to `stops`, a SIGHUP to a
// reload and SIGUSR1 to a reopened log file, and printing the status line every
// `interval_s` seconds.
void supervise(const sigset_t& signals, const std::atomic<bool>& done, stopper& stops,
               const tunnel_status& status, double interval_s, const reload_context& reload) {
  using clock = std::chrono::steady_clock;
  auto next_line = clock::now() + std::chrono::milliseconds(static_cast<long>(interval_s * 1000));
  const timespec tick{0, 200 * 1000 * 1000};
  while (!done.load()) {
    const int received = sigtimedwait(&signals, nullptr, &tick);
    if (received == SIGHUP) reload_configuration(reload.argc, reload.argv, reload.running, reload.live);
    if (received == SIGUSR1) reopen_log();
    if (received == SIGINT || received == SIGTERM) stops.on_signal(received);
    stops.check_drain_time();
    if (interval_s > 0 && clock::now() >= next_line) {
      log_info(status_line(status));
      next_line += std::chrono::milliseconds(static_cast<long>(interval_s * 1000));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const sigset_t signals = block_stop_signals();
  remote_options options;
  std::string error;
  const bool parsed = parse_remote_options(argc, argv, options, error);
  if (!parsed && options.check_config) {
    qel::tools::log_output::configure("qelcs-remote", qel::tools::log_level::info);
    if (!error.empty()) log_error(error);
    log_error("the configuration is not valid");
    return exit_usage;
  }
  if (!parsed) {
    if (!error.empty()) std::fprintf(stderr, "qelcs-remote: %s\n", error.c_str());
    std::fprintf(stderr, "Try 'qelcs-remote --help'.\n");
    return exit_usage;
  }
  if (options.help) {
    std::fputs(remote_usage().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("qelcs-remote %s\n", QEL_VERSION);
    return 0;
  }
  qel::tools::log_output::configure("qelcs-remote", options.log_level);
  qel::tools::log_output::set_format(options.log_format);
  if (options.check_config) return check_remote_config(options);
  if (!qel::tools::log_output::set_file(options.log_file, error) || !read_start_files(options, error)) {
    log_error(error);
    return exit_start;
  }
  // The pollers read the token, TLS files and proxy through this, so SIGHUP can change them.
  auto live = std::make_shared<live_settings>(live_values(options));
  options.poll.tls.live = live;
  curl_global curl;
  tunnel_status status;
  metrics_server metrics(status);
  if (!options.metrics_address.empty()) {
    if (!metrics.start(options.metrics_address, error)) {
      log_error(error);
      return exit_start;
    }
    log_info("metrics at " + metrics.url());
  }
  std::atomic<bool> stop{false}, done{false};
  const unsigned pollers = options.poll.pollers;
  poller_group group(pollers);
  auto client = std::make_unique<tunnel_client>(options.poll, options.target_url, options.target_timeout_ms,
                                                status, group, stop);
  log_info("polling " + options.poll.poll_url + " with " + std::to_string(pollers) +
           (pollers == 1 ? " poller" : " pollers") + ", forwarding to " + options.target_url);
  const auto started = std::chrono::steady_clock::now();
  status.state = tunnel_state::running;
  std::thread worker([&] {
    client->run();
    done = true;
  });
  // Ready once the options are valid and polling has begun; a host that is not up yet
  // is retried with backoff, so readiness does not wait for the first poll to connect.
  sd_notify(0, "READY=1");
  {
    stopper stops(options.poll, group, stop, *client);
    supervise(signals, done, stops, status, options.status_interval_s,
              reload_context{argc, argv, options, *live});
  }
  worker.join();
  status.state = tunnel_state::stopped;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
  log_info(summary_line(status, elapsed.count()));
  return status.credentials_refused.load() ? exit_refused : exit_ran;
}
