// Options of qelcs-remote, parsed from the command line. Plain values, one thread.
#ifndef QELCS_REMOTE_REMOTE_OPTIONS_H
#define QELCS_REMOTE_REMOTE_OPTIONS_H

#include <string>

#include "poll_loop.h"

namespace qelcs_remote {

struct remote_options {
  poll_settings poll;            // poll URL, TLS, token, limits, backoff
  std::string target_url;        // base URL the requests are forwarded to
  long target_timeout_ms = 60000;
  double status_interval_s = 10; // 0: no periodic status line
  std::string token_file;
  bool help = false;
  bool version = false;
};

// False with `error` set when an option is unknown, lacks its value, or is invalid;
// reads the token file.
bool parse_remote_options(int argc, char** argv, remote_options& options, std::string& error);

std::string remote_usage();

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_REMOTE_OPTIONS_H
