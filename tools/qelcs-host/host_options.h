// Options of qelcs-host: the nine texts handed to CS_Init, where the connection server
// library lives, how much to log, and whether to check the configuration only.
//
// Values come from the command line (getopt_long: "--name value", "--name=value") and
// from an optional config file ("name = value" lines, "#" comments, "\n" in a value
// stands for a line break); the command line wins. Plain value types, used by one thread.
#ifndef QELCS_HOST_HOST_OPTIONS_H
#define QELCS_HOST_HOST_OPTIONS_H

#include <map>
#include <string>

#include "log_output.h"

namespace qelcs_host {

// The CS_Init argument names, in argument order (log sink aside).
extern const char* const cs_init_argument_names[9];

struct host_options {
  std::string library;       // empty: default_library_path() (library_location.h)
  std::string msl_lib_path;  // empty: the folder of the loaded connection server library
  std::string sig_ext;       // empty: the loader's default signature handling
  bool sig_ext_set = false;
  qel::tools::log_level log_level = qel::tools::log_level::info;
  qel::tools::log_format log_format = qel::tools::log_format::text;
  std::string log_file;       // empty: stderr
  std::string user;           // --check-config: whose access to check; empty: this process's
  std::string config_file;    // --config; empty: none
  bool check_config = false;  // validate, print the effective endpoints, exit 0 or 1
  bool help = false;
  bool version = false;
  // CS_Init texts by option name ("agent-version", ...); absent names take the defaults.
  std::map<std::string, std::string> init_arguments;
};

// The embedded defaults: callers on loopback port default_port, the remote client and
// reverse registration on default_port + 1; the tunnel settings the host passes.
extern const int default_port;
extern const char* const default_tunnel_settings;
std::string default_argument(const std::string& name);

// Parses argv (and the config file it names). False on bad input, with `error` set
// unless getopt has printed its own message already.
bool parse_host_options(int argc, char** argv, host_options& options, std::string& error);

// CS_Init text for `name`: the given value or the embedded default.
std::string init_argument(const host_options& options, const std::string& name);

// True when no CS_Init text was given at all (the embedded default is served).
bool uses_embedded_default(const host_options& options);

std::string host_usage();

}  // namespace qelcs_host

#endif  // QELCS_HOST_HOST_OPTIONS_H
