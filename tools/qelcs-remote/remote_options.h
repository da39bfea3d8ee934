// Options of qelcs-remote, parsed from the command line with getopt_long. Plain values,
// one thread.
#ifndef QELCS_REMOTE_REMOTE_OPTIONS_H
#define QELCS_REMOTE_REMOTE_OPTIONS_H

#include <string>

#include "log_output.h"
#include "poll_loop.h"

namespace qelcs_remote {

// Exit status of the program.
enum exit_code {
  exit_ran = 0,          // a run ended (signal, --max-requests, --duration)
  exit_usage = 1,        // wrong options
  exit_start = 2,        // a file named by the options cannot be read; --metrics cannot listen
  exit_refused = 3,      // the host refused the credentials --max-auth-failures times in a row
};

struct remote_options {
  poll_settings poll;            // poll URL, TLS, token, limits, backoff
  std::string target_url;        // base URL the requests are forwarded to
  long target_timeout_ms = 60000;
  double status_interval_s = 10; // 0: no periodic status line
  std::string token_file;
  std::string metrics_address;   // "ADDR:PORT" of the /metrics page; empty: none
  qel::tools::log_level log_level = qel::tools::log_level::info;
  bool help = false;
  bool version = false;
};

// False when an option is unknown, lacks its value or is invalid: with `error` set,
// unless getopt has printed its own message. Reads no file (see read_start_files).
bool parse_remote_options(int argc, char** argv, remote_options& options, std::string& error);

// Reads the token and checks that the CA, certificate and key files can be read, so a
// client that could never authenticate stops at once. False with `error` naming the
// file and the cause.
bool read_start_files(remote_options& options, std::string& error);

std::string remote_usage();

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_REMOTE_OPTIONS_H
