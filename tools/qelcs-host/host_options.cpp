// Command-line and config-file parsing of qelcs-host.
#include "host_options.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include "command_line.h"
#include "key_value_file.h"
#include "library_location.h"

namespace qelcs_host {

const char* const cs_init_argument_names[9] = {
    "agent-version", "listener-settings-1", "reserved-settings",
    "listener-settings-2", "agent-uuid", "agent-name",
    "agent-namespace", "dns-name", "lmi-links"};

const int default_port = 18080;
const char* const default_tunnel_settings =
    "caller_timeout = 120\nmax_waiting_callers = 512\nflow_ids = random\nforward_any_request = on\n"
    "answer_later = on\n";

namespace {

bool is_init_argument(const std::string& name) {
  return std::find(std::begin(cs_init_argument_names), std::end(cs_init_argument_names),
                   name) != std::end(cs_init_argument_names);
}

// What the command line set, applied over the config file's values afterwards.
struct given_options {
  host_options values;
  bool log_level_set = false;
  bool log_format_set = false;
  std::string config;
};

// Stores one named value; false when the name is unknown or the value is bad. Names are
// the long options without "--" (the config file's names).
bool set_value(given_options& given, const std::string& name, const std::string& value,
               std::string& error) {
  host_options& options = given.values;
  bool verbose = false;
  if (is_init_argument(name)) {
    options.init_arguments[name] = value;
  } else if (name == "library") {
    options.library = value;
  } else if (name == "msl-lib-path") {
    options.msl_lib_path = value;
  } else if (name == "sig-ext") {
    options.sig_ext = value;
    options.sig_ext_set = true;
  } else if (name == "log-level") {
    if (!qel::tools::parse_log_level(value, options.log_level)) {
      error = "log-level: expected error, warning, info or debug, got '" + value + "'";
      return false;
    }
    given.log_level_set = true;
  } else if (name == "log-format") {
    if (!qel::tools::parse_log_format(value, options.log_format)) {
      error = "log-format: expected text or json, got '" + value + "'";
      return false;
    }
    given.log_format_set = true;
  } else if (name == "log-file") {
    options.log_file = value;
  } else if (name == "user") {
    options.user = value;
  } else if (name == "verbose") {  // an alias of log-level = debug
    if (!value.empty() && !qel::tools::parse_flag(value, verbose)) {
      error = "verbose: expected true or false, got '" + value + "'";
      return false;
    }
    if (value.empty() || verbose) {
      options.log_level = qel::tools::log_level::debug;
      given.log_level_set = true;
    }
  } else {
    error = "unknown option '" + name + "'";
    return false;
  }
  return true;
}

bool read_config_file(const std::string& path, given_options& from_file, std::string& error) {
  std::vector<qel::tools::key_value> entries;
  if (!qel::tools::read_key_value_file(path, entries, error)) return false;
  for (const qel::tools::key_value& entry : entries) {
    std::string problem;
    if (set_value(from_file, entry.name, entry.value, problem)) continue;
    error = path + ":" + std::to_string(entry.line) + ": " + problem;
    return false;
  }
  return true;
}

const std::vector<qel::tools::option_entry>& command_line_options() {
  static const std::vector<qel::tools::option_entry> entries = [] {
    std::vector<qel::tools::option_entry> list;
    for (const char* name : cs_init_argument_names) list.push_back({name, true});
    for (const char* name : {"config", "library", "msl-lib-path", "sig-ext", "log-level", "log-format",
                             "log-file", "user"})
      list.push_back({name, true});
    list.push_back({"verbose", false, 'v'});
    list.push_back({"check-config", false});
    list.push_back({"help", false, 'h'});
    list.push_back({"version", false});
    return list;
  }();
  return entries;
}

}  // namespace

std::string default_argument(const std::string& name) {
  if (name == "agent-version") return "5.0.0";
  // Callers get an endpoint of their own: however many wait, the remote client and
  // reverse registration can still connect to theirs. The callers all come from the
  // loopback address, so no per-address limit there: the waiting bound (512) answers
  // first, under the endpoint's connection limit (1000). Each endpoint has one worker:
  // callers and polls are answered later (answer_later in the tunnel settings), so a
  // waiting one holds no thread, and registration never waits. One worker, not two: a
  // second one spends more on waking up and on sharing state across cores than it
  // adds (docs/performance.md).
  if (name == "listener-settings-1")
    return "address = 127.0.0.1\nport = " + std::to_string(default_port) +
           "\nper_ip_limit = 0\nnonblocking_workers = 1\n"
           "[endpoint remote]\naddress = 127.0.0.1\nport = " + std::to_string(default_port + 1) +
           "\nresources = /qel/reverseConnection, /qel/sensor_services/management\n"
           "nonblocking_workers = 1\n";
  if (name == "reserved-settings") return default_tunnel_settings;
  if (name == "agent-uuid") return "00000000-0000-4000-8000-000000000001";
  if (name == "agent-name") return "qelcs-host";
  if (name == "agent-namespace") return "default";
  if (name == "dns-name") return "127.0.0.1";
  return "";  // listener-settings-2, lmi-links
}

bool parse_host_options(int argc, char** argv, host_options& options, std::string& error) {
  given_options given;
  const auto take = [&](const std::string& name, const std::string& value, std::string& problem) {
    if (name == "help") options.help = true;
    else if (name == "version") options.version = true;
    else if (name == "check-config") options.check_config = true;
    else if (name == "config") given.config = value;
    else return set_value(given, name, value, problem);
    return true;
  };
  if (!qel::tools::parse_command_line(argc, argv, 1, "qelcs-host", command_line_options(), take,
                                      nullptr, error))
    return false;
  if (options.help || options.version) return true;
  given_options from_file;
  if (!given.config.empty() && !read_config_file(given.config, from_file, error)) return false;
  host_options& file = from_file.values;
  options.init_arguments = file.init_arguments;
  for (const auto& entry : given.values.init_arguments) options.init_arguments[entry.first] = entry.second;
  options.library = given.values.library.empty() ? file.library : given.values.library;
  options.msl_lib_path = given.values.msl_lib_path.empty() ? file.msl_lib_path : given.values.msl_lib_path;
  const host_options& sig = given.values.sig_ext_set ? given.values : file;
  options.sig_ext = sig.sig_ext;
  options.sig_ext_set = sig.sig_ext_set;
  options.log_level = given.log_level_set ? given.values.log_level : file.log_level;
  options.log_format = given.log_format_set ? given.values.log_format : file.log_format;
  options.log_file = given.values.log_file.empty() ? file.log_file : given.values.log_file;
  options.user = given.values.user.empty() ? file.user : given.values.user;
  options.config_file = given.config;
  return true;
}

std::string init_argument(const host_options& options, const std::string& name) {
  const auto found = options.init_arguments.find(name);
  return found != options.init_arguments.end() ? found->second : default_argument(name);
}

bool uses_embedded_default(const host_options& options) {
  return options.init_arguments.count("listener-settings-1") == 0 &&
         options.init_arguments.count("listener-settings-2") == 0;
}

std::string host_usage() {
  std::ostringstream out;
  out << "Usage: qelcs-host [options]\n"
         "\n"
         "Loads libqelConnectionServer5.so, calls CS_Init and serves until SIGINT or SIGTERM.\n"
         "With no options it serves on loopback: callers POST to /qel on port " << default_port << ";\n"
         "the remote client (/qel/reverseConnection) and reverse registration\n"
         "(/qel/sensor_services/management) have an endpoint of their own on port " << default_port + 1 << ",\n"
         "so waiting callers can never keep them out.\n"
         "\n"
         "CS_Init arguments (each a text, or the name of a readable file whose contents the\n"
         "library uses instead):\n"
         "  --agent-version V        agent version (default 5.0.0)\n"
         "  --listener-settings-1 S  first settings text of every listener (default: the two\n"
         "                           loopback endpoints above)\n"
         "  --reserved-settings S    reverse tunnel settings, 'key = value' lines; each key\n"
         "                           named replaces its default, the others keep theirs, an\n"
         "                           unknown key is an error:\n"
         "                             caller_timeout = S       a caller waiting longer gets 504\n"
         "                                                      (default 120; 0: no limit)\n"
         "                             max_waiting_callers = N  a caller beyond N waiting gets\n"
         "                                                      503 (default 512; 0: no bound)\n"
         "                             poll_timeout = S         an idle poll is answered after\n"
         "                                                      S to 2S seconds (default 28)\n"
         "                             drain_timeout = S        a stop waits S seconds for\n"
         "                                                      requests out (default 10)\n"
         "                             client_grace = S         a declared remote client gone\n"
         "                                                      this long: its callers get 502\n"
         "                                                      (default 5)\n"
         "                             flow_ids = random        ids that do not repeat across\n"
         "                                                      restarts (default; or sequential)\n"
         "                             forward_any_request = on any method, paths below /qel,\n"
         "                                                      headers both ways (default; off:\n"
         "                                                      POST to /qel only)\n"
         "                             answer_later = on        waiting callers and parked polls\n"
         "                                                      hold no thread (default; off: a\n"
         "                                                      thread each)\n"
         "  --listener-settings-2 S  second settings text; its keys override the first's\n"
         "  --agent-uuid U           agent uuid (default 00000000-0000-4000-8000-000000000001)\n"
         "  --agent-name N           agent name (default qelcs-host)\n"
         "  --agent-namespace N      agent namespace (default 'default')\n"
         "  --dns-name N             address announced by reverse registration (default 127.0.0.1)\n"
         "  --lmi-links L            links text for reverse registration: an XML fragment or\n"
         "                           plain text (default empty)\n"
         "\n"
         "Loading:\n"
         "  --library PATH           connection server library\n"
         "                           (default " << default_library_description() << ")\n"
         "  --msl-lib-path DIR       folder of libqelSessionConfigSvcs5.so and its signature\n"
         "                           (default: the folder of the connection server library)\n"
         "  --sig-ext EXT            extension of detached signature files; when set, only\n"
         "                           LIBRARY+EXT is tried (default: embedded, then .sig)\n"
         "\n"
         "Other:\n"
         "  --config FILE            read 'name = value' lines with the option names above\n"
         "                           (without '--'); '#' starts a comment, '\\n' in a value is a\n"
         "                           line break; command-line options win over the file\n"
         "  --check-config           read and check every settings text and file as CS_Init\n"
         "                           would, print the effective endpoints and exit: 0 when\n"
         "                           the configuration is valid, 1 when not (nothing is served)\n"
         "  --user NAME              with --check-config: the user the host will run as; every\n"
         "                           file the configuration names must be readable by that\n"
         "                           user (default: the user running the check)\n"
         "  --log-level LEVEL        error, warning, info (default) or debug: the least severe\n"
         "                           lines written, the host's and the libraries'\n"
         "  -v, --verbose            the same as --log-level debug\n"
         "  --log-format FORMAT      text (default) or json: one JSON object a line with time,\n"
         "                           level, program, message (and function for the libraries')\n"
         "  --log-file FILE          append the log to FILE instead of stderr; SIGUSR1 reopens\n"
         "                           it (for logrotate)\n"
         "  -h, --help               print this text\n"
         "  --version                print the version and exit\n"
         "\n"
         "Every log line carries its time and level; under systemd (JOURNAL_STREAM) lines\n"
         "on stderr carry journald priorities instead. SIGHUP is logged and ignored: settings\n"
         "are read once, at start. SIGUSR1 reopens the log file. The library writes its trace output to ./.udout and reads trace\n"
         "commands from ./.udrc in the working directory.\n"
         "\n"
         "Exit status:\n"
         "  0  stopped cleanly after SIGINT or SIGTERM; --check-config: the configuration is valid\n"
         "  1  wrong options or config file, or the log file cannot be opened;\n"
         "     --check-config: the configuration is not valid\n"
         "  2  the connection server library cannot be loaded or lacks an exported function\n"
         "  3  CS_Init failed (the message names the cause)\n"
         "  4  CS_ShutDown returned an error\n";
  return out.str();
}

}  // namespace qelcs_host
