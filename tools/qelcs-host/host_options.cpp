// Command-line and config-file parsing of qelcs-host.
#include "host_options.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "../common/long_option.h"
#include "library_location.h"

namespace qelcs_host {

const char* const cs_init_argument_names[9] = {
    "agent-version", "listener-settings-1", "reserved-settings",
    "listener-settings-2", "agent-uuid", "agent-name",
    "agent-namespace", "dns-name", "lmi-links"};

const int default_port = 18080;
const char* const default_tunnel_settings = "caller_timeout = 120\nmax_waiting_callers = 512\n";

namespace {

bool is_init_argument(const std::string& name) {
  return std::find(std::begin(cs_init_argument_names), std::end(cs_init_argument_names),
                   name) != std::end(cs_init_argument_names);
}

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// A config-file value is one line; "\n" stands for a line break, "\\" for a backslash.
std::string unescape(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size() && (value[i + 1] == 'n' || value[i + 1] == '\\')) {
      out += value[i + 1] == 'n' ? '\n' : '\\';
      ++i;
    } else {
      out += value[i];
    }
  }
  return out;
}

bool parse_flag(const std::string& value, bool& flag) {
  if (value == "1" || value == "true" || value == "yes" || value == "on") return flag = true, true;
  if (value == "0" || value == "false" || value == "no" || value == "off") return flag = false, true;
  return false;
}

// Stores one named value; false when the name is unknown or the value is bad.
bool set_value(host_options& options, const std::string& name, const std::string& value,
               std::string& error) {
  if (is_init_argument(name)) {
    options.init_arguments[name] = value;
  } else if (name == "library") {
    options.library = value;
  } else if (name == "msl-lib-path") {
    options.msl_lib_path = value;
  } else if (name == "sig-ext") {
    options.sig_ext = value;
    options.sig_ext_set = true;
  } else if (name == "verbose") {
    if (!parse_flag(value, options.verbose)) {
      error = "verbose: expected true or false, got '" + value + "'";
      return false;
    }
  } else {
    error = "unknown option '" + name + "'";
    return false;
  }
  return true;
}

bool read_config_file(const std::string& path, host_options& options, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read config file '" + path + "'";
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string text = trim(line);
    if (text.empty() || text[0] == '#') continue;
    const auto equals = text.find('=');
    if (equals == std::string::npos) {
      error = path + ":" + std::to_string(number) + ": expected 'name = value'";
      return false;
    }
    std::string problem;
    if (!set_value(options, trim(text.substr(0, equals)), unescape(trim(text.substr(equals + 1))),
                   problem)) {
      error = path + ":" + std::to_string(number) + ": " + problem;
      return false;
    }
  }
  return true;
}

}  // namespace

std::string default_argument(const std::string& name) {
  if (name == "agent-version") return "5.0.0";
  // Callers get an endpoint of their own: however many wait, the remote client and
  // reverse registration can still connect to theirs.
  if (name == "listener-settings-1")
    return "address = 127.0.0.1\nport = " + std::to_string(default_port) +
           "\n[endpoint remote]\naddress = 127.0.0.1\nport = " + std::to_string(default_port + 1) +
           "\nresources = /qel/reverseConnection, /qel/sensor_services/management\n";
  if (name == "reserved-settings") return default_tunnel_settings;
  if (name == "agent-uuid") return "00000000-0000-4000-8000-000000000001";
  if (name == "agent-name") return "qelcs-host";
  if (name == "agent-namespace") return "default";
  if (name == "dns-name") return "127.0.0.1";
  return "";  // listener-settings-2, lmi-links
}

bool parse_host_options(int argc, char** argv, host_options& options, std::string& error) {
  host_options given;  // command-line values, applied over the config file's
  std::string config;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") { options.help = true; return true; }
    if (arg == "--version") { options.version = true; return true; }
    if (arg == "-v" || arg == "--verbose") { given.verbose = true; continue; }
    if (arg.rfind("--", 0) != 0) { error = "unexpected argument '" + arg + "'"; return false; }
    std::string name, value;
    if (!qel::tools::take_long_option(argc, argv, i, name, value, error)) return false;
    if (name == "config") { config = value; continue; }
    if (!set_value(given, name, value, error)) return false;
  }
  if (!config.empty() && !read_config_file(config, options, error)) return false;
  for (const auto& entry : given.init_arguments) options.init_arguments[entry.first] = entry.second;
  if (!given.library.empty()) options.library = given.library;
  if (!given.msl_lib_path.empty()) options.msl_lib_path = given.msl_lib_path;
  if (given.sig_ext_set) { options.sig_ext = given.sig_ext; options.sig_ext_set = true; }
  options.verbose = options.verbose || given.verbose;
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
         "  --reserved-settings S    reverse tunnel settings, 'key = value' lines (these replace\n"
         "                           the defaults as a whole):\n"
         "                             caller_timeout = S       a caller waiting longer gets 504\n"
         "                                                      (default 120; 0: no limit)\n"
         "                             max_waiting_callers = N  a caller beyond N waiting gets\n"
         "                                                      503 (default 512; 0: no bound)\n"
         "                             poll_timeout = S         an idle poll is answered after\n"
         "                                                      S to 2S seconds (default 28)\n"
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
         "  -v, --verbose            also print the libraries' information and entry lines\n"
         "  -h, --help               print this text\n"
         "  --version                print the version and exit\n"
         "\n"
         "The library writes its trace output to ./.udout and reads trace commands from\n"
         "./.udrc in the working directory. Exit status: 0 after a clean stop, 1 when the\n"
         "options are wrong, 2 when the library cannot be loaded, 3 when CS_Init fails.\n";
  return out.str();
}

}  // namespace qelcs_host
