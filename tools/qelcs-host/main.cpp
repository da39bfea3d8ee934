// qelcs-host: loads the connection server library as an agent process would, calls
// CS_Init with settings from the command line, a config file or the embedded default,
// and serves until SIGINT or SIGTERM.
#include <sys/resource.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cs_library.h"
#include "host_options.h"
#include "library_location.h"
#include "listen_summary.h"
#include "qel_build_info.h"
#include "stderr_log_sink.h"
#include "stop_signals.h"

using namespace qelcs_host;

namespace {

// Every waiting caller holds a connection: allow as many descriptors as the hard limit.
void raise_descriptor_limit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

void print_endpoints(const std::vector<endpoint_summary>& endpoints) {
  for (const auto& endpoint : endpoints)
    std::printf("qelcs-host: listening on %s%s%s\n", base_url(endpoint).c_str(),
                endpoint.resources.empty() ? " (every other resource)" : " for ",
                endpoint.resources.c_str());
}

// Start-up message: where the host listens and commands to try it with.
void print_ready(const host_options& options, const std::string args[9]) {
  const auto endpoints = summarize_listeners(args[1], args[3]);
  if (endpoints.empty()) {
    std::printf("qelcs-host: listening as the listener settings say\n");
  } else {
    print_endpoints(endpoints);
    const std::string warning = remote_side_warning(endpoints);
    if (!warning.empty()) std::fprintf(stderr, "qelcs-host: WARNING %s\n", warning.c_str());
    const std::string registration = url_serving(endpoints, "/qel/sensor_services/management");
    const std::string poll = url_serving(endpoints, "/qel/reverseConnection");
    const std::string callers = url_serving(endpoints, "/qel");
    std::printf("qelcs-host: ready. Try:\n");
    if (!registration.empty())
      std::printf("  curl -s -X POST --data '' %s/qel/sensor_services/management\n", registration.c_str());
    if (!poll.empty())
      std::printf("  qelcs-remote --poll %s/qel/reverseConnection --target http://127.0.0.1:8080 &\n",
                  poll.c_str());
    if (!callers.empty())
      std::printf("  curl -s -X POST -H 'Content-Type: text/plain' --data hello %s/qel\n",
                  callers.c_str());
  }
  if (uses_embedded_default(options))
    std::printf("qelcs-host: serving the embedded default; see --help for settings\n");
  std::printf("qelcs-host: stop with Ctrl-C or SIGTERM\n");
  std::fflush(stdout);
}

// Loads the library, applies the loader settings and calls CS_Init; returns the exit code.
int start(cs_library& library, const host_options& options) {
  std::string error;
  const std::string path = options.library.empty() ? default_library_path() : options.library;
  if (!library.open(path, error)) {
    std::fprintf(stderr, "qelcs-host: %s\n", error.c_str());
    return 2;
  }
  library.set_msl_lib_path(options.msl_lib_path.empty() ? library.folder().c_str()
                                                        : options.msl_lib_path.c_str());
  if (options.sig_ext_set) library.set_sig_ext(options.sig_ext.c_str());
  std::string args[9];
  for (int i = 0; i < 9; ++i) args[i] = init_argument(options, cs_init_argument_names[i]);
  const uint32_t status =
      library.init(args[0].c_str(), args[1].c_str(), args[2].c_str(), args[3].c_str(),
                   args[4].c_str(), args[5].c_str(), args[6].c_str(), args[7].c_str(),
                   args[8].c_str(), stderr_log_sink(options.verbose));
  if (status != 0) {
    std::fprintf(stderr, "qelcs-host: CS_Init failed with status 0x%08X: %s\n", status,
                 library.error_text(status).c_str());
    return 3;
  }
  print_ready(options, args);
  sd_notify(0, "READY=1");  // under systemd (Type=notify): serving now; otherwise nothing
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  stop_signals signals;  // before the library starts any thread
  host_options options;
  std::string error;
  if (!parse_host_options(argc, argv, options, error)) {
    std::fprintf(stderr, "qelcs-host: %s\nTry 'qelcs-host --help'.\n", error.c_str());
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
  raise_descriptor_limit();
  cs_library library;
  const int code = start(library, options);
  if (code != 0) {
    std::fflush(stderr);
    _exit(code);  // see below: the library may have threads running
  }
  const int received = signals.wait();
  std::printf("qelcs-host: %s received, shutting down\n", received == SIGINT ? "SIGINT" : "SIGTERM");
  const uint32_t status = library.shut_down();
  std::printf("qelcs-host: CS_ShutDown returned 0x%08X; stopped\n", status);
  std::fflush(stdout);
  std::fflush(stderr);
  // The library's listeners and threads run until the process ends: leave without
  // running static destructors under them.
  _exit(status == 0 ? 0 : 4);
}
