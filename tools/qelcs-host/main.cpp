// qelcs-host: loads the connection server library as an agent process would, calls
// CS_Init with settings from the command line, a config file or the embedded default,
// and serves until SIGINT or SIGTERM, then stops gracefully (CS_Stop). --check-config
// only reads and checks the settings.
#include <sys/resource.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "config_check.h"
#include "cs_library.h"
#include "host_options.h"
#include "host_reload.h"
#include "host_settings.h"
#include "library_location.h"
#include "library_log.h"
#include "log_output.h"
#include "log_reopen_signal.h"
#include "qel_build_info.h"
#include "ready_report.h"
#include "stop_signals.h"

using namespace qelcs_host;
using qel::tools::log_error;
using qel::tools::log_info;
using qel::tools::log_warning;

namespace {

// Every waiting caller holds a connection: allow as many descriptors as the hard limit.
void raise_descriptor_limit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

// The served endpoints with their settings, when the host can read them (it reads them
// as the library did; a service library with other rules leaves them unknown).
std::vector<endpoint_view> served_endpoints(const host_options& options,
                                            std::unique_ptr<host_settings>& settings) {
  try {
    settings = std::make_unique<host_settings>(options, false);
  } catch (const std::exception&) {
    settings.reset();
  }
  std::vector<endpoint_view> views;
  for (const served_endpoint& served : library_log::served())
    views.push_back({served, settings ? settings->endpoint(served.name) : nullptr});
  return views;
}

// Start-up message: where the host listens and commands to try it with.
void report_ready(const host_options& options) {
  std::unique_ptr<host_settings> settings;
  const std::vector<endpoint_view> endpoints = served_endpoints(options, settings);
  for (const std::string& line : listening_lines(endpoints)) log_info(line);
  const std::string warning = remote_side_warning(endpoints);
  if (!warning.empty()) log_warning(warning);
  std::string hints;
  for (const std::string& line : try_lines(endpoints, remote_client_command()))
    hints += (hints.empty() ? "" : "\n") + line;
  log_info(hints);
  if (uses_embedded_default(options)) log_info("serving the embedded default; see --help for settings");
  log_info("stop with Ctrl-C or SIGTERM");
}

// A failed CS_Init, said with the detail the library logged (it names the setting, file
// and line) or, when it logged none, with the status text of the catalog.
void report_init_failure(const cs_library& library, uint32_t status) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", status);
  const std::string detail = library_log::last_error();
  if (!detail.empty())
    log_error("CS_Init failed: " + detail + " (status " + code + ")");
  else
    log_error(std::string("CS_Init failed with status ") + code + ": " + library.error_text(status));
}

// Loads the library, applies the loader settings and calls CS_Init; returns the exit code.
int start(cs_library& library, const host_options& options) {
  std::string error;
  const std::string path = options.library.empty() ? default_library_path() : options.library;
  if (!library.open(path, error)) {
    log_error(error);
    return 2;
  }
  library.set_msl_lib_path(options.msl_lib_path.empty() ? library.folder().c_str()
                                                        : options.msl_lib_path.c_str());
  if (options.sig_ext_set) library.set_sig_ext(options.sig_ext.c_str());
  std::string args[9];
  for (int i = 0; i < 9; ++i) args[i] = init_argument(options, cs_init_argument_names[i]);
  try {
    args[2] = read_host_tunnel(options).text;  // the operator's keys over the host's defaults
  } catch (const std::exception& e) {
    log_error(e.what());
    return 1;
  }
  const uint32_t status =
      library.init(args[0].c_str(), args[1].c_str(), args[2].c_str(), args[3].c_str(),
                   args[4].c_str(), args[5].c_str(), args[6].c_str(), args[7].c_str(),
                   args[8].c_str(), library_log::sink(options.log_level));
  if (status != 0) {
    report_init_failure(library, status);
    return 3;
  }
  report_ready(options);
  sd_notify(0, "READY=1");  // under systemd (Type=notify): serving now; otherwise nothing
  return 0;
}

// Serves until SIGINT or SIGTERM; a SIGHUP reloads the configuration.
int serve_until_stopped(stop_signals& signals, int argc, char** argv, host_options& options,
                        cs_library& library) {
  for (;;) {
    const int received = signals.wait();
    if (received != SIGHUP) return received;
    reload_host(argc, argv, options, library);
  }
}

const char* signal_name(int signal) { return signal == SIGINT ? "SIGINT" : "SIGTERM"; }

// The graceful stop: waiting callers are answered before the process ends. A second
// SIGINT or SIGTERM cuts the drain short. Returns the exit code.
int stop_gracefully(cs_library& library, stop_signals& signals, int received) {
  log_info(std::string(signal_name(received)) +
           " received, stopping: waiting callers are answered first (a second signal stops at once)");
  std::atomic<bool> finished{false};
  uint32_t status = 0;
  std::thread stopper([&] {
    status = library.stop(0);
    finished.store(true);
  });
  bool cut = false;
  while (!finished.load()) {
    const int again = signals.wait_for(100);
    if ((again == SIGINT || again == SIGTERM) && !cut) {
      cut = true;
      log_warning(std::string(signal_name(again)) + " received again: stopping at once");
      library.stop(CS_STOP_NOW);
    }
  }
  stopper.join();
  if (status != 0) {
    log_error("CS_Stop failed: " + library.error_text(status));
    return 4;
  }
  library.shut_down();
  log_info("stopped");
  return 0;
}

// Stops the library and returns the exit code; an older library without the graceful
// stop only gets CS_ShutDown.
int stop(cs_library& library, stop_signals& signals, int received) {
  if (library.stop != nullptr) return stop_gracefully(library, signals, received);
  log_info(std::string(signal_name(received)) + " received, shutting down");
  const uint32_t status = library.shut_down();
  char text[64];
  std::snprintf(text, sizeof text, "CS_ShutDown returned 0x%08X; stopped", status);
  (status == 0 ? log_info : log_error)(text);
  return status == 0 ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv) {
  stop_signals signals;  // before the library starts any thread
  log_reopen_signal reopen_log;  // SIGUSR1, on a thread of its own
  host_options options;
  std::string error;
  if (!parse_host_options(argc, argv, options, error)) {
    if (!error.empty()) std::fprintf(stderr, "qelcs-host: %s\n", error.c_str());
    std::fprintf(stderr, "Try 'qelcs-host --help'.\n");
    return 1;
  }
  if (options.help) {
    std::fputs(host_usage().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("qelcs-host %s\n", QEL_VERSION);
    return 0;
  }
  qel::tools::log_output::configure("qelcs-host", options.log_level);
  qel::tools::log_output::set_format(options.log_format);
  if (options.check_config) return check_config(options);
  if (!qel::tools::log_output::set_file(options.log_file, error)) {
    log_error(error);
    return 1;
  }
  raise_descriptor_limit();
  cs_library library;
  const int code = start(library, options);
  if (code != 0) _exit(code);  // see below: the library may have threads running
  const int received = serve_until_stopped(signals, argc, argv, options, library);
  const int stopped = stop(library, signals, received);
  // The library's threads may still run until the process ends: leave without running
  // static destructors under them.
  _exit(stopped);
}
