// Options of qelcs-remote, from an optional config file (--config FILE: "name = value"
// lines with the long option names, '#' comment lines; key_value_file.h) and the command
// line (getopt_long), which wins. Each value remembers where it was set, so an error
// names the file, line and key, or the option. Plain values, one thread.
#ifndef QELCS_REMOTE_REMOTE_OPTIONS_H
#define QELCS_REMOTE_REMOTE_OPTIONS_H

#include <map>
#include <string>

#include "log_output.h"
#include "poll_loop.h"

namespace qelcs_remote {

// Exit status of the program.
enum exit_code {
  exit_ran = 0,          // a run ended (signal, --max-requests, --duration); --check-config: valid
  exit_usage = 1,        // wrong options or config file; --check-config: not valid
  exit_start = 2,        // a file named by the options cannot be read; --metrics cannot listen
  exit_refused = 3,      // the host refused the credentials --max-auth-failures times in a row
};

struct remote_options {
  poll_settings poll;            // poll URL, TLS, token, proxy, limits, backoff
  std::string target_url;        // base URL the requests are forwarded to
  long target_timeout_ms = 60000;
  double status_interval_s = 10; // 0: no periodic status line
  std::string token_file;
  std::string proxy;             // as given: a URL, "none", or empty (the *_proxy variables)
  std::string metrics_address;   // "HOST:PORT" of the /metrics page; empty: none
  qel::tools::log_level log_level = qel::tools::log_level::info;
  qel::tools::log_format log_format = qel::tools::log_format::text;
  std::string log_file;          // empty: stderr
  std::string config_file;       // --config; empty: none
  std::string user;              // --user: whose access --check-config checks; empty: ours
  bool check_config = false;
  bool help = false;
  bool version = false;
  // Where each option was set: "FILE:LINE: name" or "option '--name'".
  std::map<std::string, std::string> origin;

  // "FILE:LINE: name" or "option '--name'" for an option that was set; "name" otherwise.
  std::string where(const std::string& name) const;
};

// False when an option or a config-file line is unknown, lacks its value or is invalid:
// with `error` set (naming the file, line and key, or the option), unless getopt has
// printed its own message. Reads the config file, no other file (see read_start_files).
bool parse_remote_options(int argc, char** argv, remote_options& options, std::string& error);

// Reads the token and checks that the CA, certificate and key files can be read, so a
// client that could never authenticate stops at once. False with `error` naming the
// file and the cause.
bool read_start_files(remote_options& options, std::string& error);

std::string remote_usage();

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_REMOTE_OPTIONS_H
