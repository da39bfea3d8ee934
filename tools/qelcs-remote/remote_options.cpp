// Command-line parsing of qelcs-remote.
#include "remote_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "command_line.h"
#include "key_value_file.h"

namespace qelcs_remote {

namespace {

using qel::tools::option_entry;

bool parse_number(const std::string& text, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end != nullptr && *end == '\0' && value >= 0;
}

bool is_http_url(const std::string& url) {
  return url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
}

// The whole file, or false with `error` naming it and the cause.
bool read_whole(const std::string& what, const std::string& path, std::string& text,
                std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + what + " file '" + path + "': " + std::strerror(errno);
    return false;
  }
  std::ostringstream contents;
  contents << in.rdbuf();
  text = contents.str();
  if (text.empty()) error = what + " file '" + path + "' is empty";
  return !text.empty();
}

// Options that take a number of seconds (or a count).
bool set_number(remote_options& options, const std::string& name, double value) {
  if (name == "max-requests") options.poll.max_requests = static_cast<uint64_t>(value);
  else if (name == "duration") options.poll.duration_s = value;
  else if (name == "status-interval") options.status_interval_s = value;
  else if (name == "poll-timeout") options.poll.poll_timeout_ms = static_cast<long>(value * 1000);
  else if (name == "target-timeout") options.target_timeout_ms = static_cast<long>(value * 1000);
  else if (name == "max-backoff") options.poll.max_backoff_ms = static_cast<long>(value * 1000);
  else if (name == "drain-timeout") options.poll.drain_timeout_ms = static_cast<long>(value * 1000);
  else if (name == "pollers") options.poll.pollers = static_cast<unsigned>(value);
  else if (name == "max-auth-failures") options.poll.max_auth_failures = static_cast<unsigned>(value);
  else return false;
  return true;
}

// A flag: empty (on the command line) or a yes/no word (in the file).
bool set_flag(const std::string& value, bool& flag, std::string& problem) {
  if (value.empty()) return flag = true, true;
  if (qel::tools::parse_flag(value, flag)) return true;
  problem = "expected true or false, got '" + value + "'";
  return false;
}

// Stores one value by its option name; false with `problem` saying what is wrong with it.
bool set_value(remote_options& options, const std::string& name, const std::string& value,
               std::string& problem) {
  double number = 0;
  bool verbose = false;
  if (name == "poll") options.poll.poll_url = value;
  else if (name == "target") options.target_url = value;
  else if (name == "cacert") options.poll.tls.cacert = value;
  else if (name == "cert") options.poll.tls.cert = value;
  else if (name == "key") options.poll.tls.key = value;
  else if (name == "token") options.token_file = value;
  else if (name == "proxy") options.proxy = value;
  else if (name == "metrics") options.metrics_address = value;
  else if (name == "log-file") options.log_file = value;
  else if (name == "user") options.user = value;
  else if (name == "insecure") return set_flag(value, options.poll.tls.insecure, problem);
  else if (name == "verbose") {
    if (!set_flag(value, verbose, problem)) return false;
    if (verbose) options.log_level = qel::tools::log_level::debug;
  } else if (name == "log-level") {
    if (qel::tools::parse_log_level(value, options.log_level)) return true;
    problem = "expected error, warning, info or debug, got '" + value + "'";
    return false;
  } else if (name == "log-format") {
    if (qel::tools::parse_log_format(value, options.log_format)) return true;
    problem = "expected text or json, got '" + value + "'";
    return false;
  } else if (!parse_number(value, number) || !set_number(options, name, number)) {
    problem = "expected a number, got '" + value + "'";
    return false;
  }
  return true;
}

// The options a config file may set: every option but these.
bool file_key(const std::string& name) {
  return name != "config" && name != "check-config" && name != "help" && name != "version";
}

const std::vector<option_entry>& command_line_options() {
  static const std::vector<option_entry> entries = {
      {"poll", true},           {"target", true},          {"cacert", true},
      {"cert", true},           {"key", true},             {"token", true},
      {"insecure", false},      {"proxy", true},           {"pollers", true},
      {"max-requests", true},   {"duration", true},        {"status-interval", true},
      {"poll-timeout", true},   {"target-timeout", true},  {"max-backoff", true},
      {"max-auth-failures", true}, {"drain-timeout", true}, {"metrics", true}, {"log-level", true},
      {"log-format", true},     {"log-file", true},        {"config", true},
      {"check-config", false},  {"user", true},            {"verbose", false, 'v'},
      {"help", false, 'h'},     {"version", false}};
  return entries;
}

bool known(const std::string& name) {
  for (const option_entry& entry : command_line_options())
    if (name == entry.name) return file_key(name);
  return false;
}

// The checks across options, each naming where the value came from.
bool check(remote_options& options, std::string& error) {
  const tls_options& tls = options.poll.tls;
  if (options.poll.poll_url.empty())
    error = "no poll URL: give --poll URL, or 'poll = URL' in the config file";
  else if (!is_http_url(options.poll.poll_url))
    error = options.where("poll") + ": needs an http:// or https:// URL";
  else if (options.target_url.empty())
    error = "no target URL: give --target URL, or 'target = URL' in the config file";
  else if (!is_http_url(options.target_url))
    error = options.where("target") + ": needs an http:// or https:// URL";
  else if (tls.cert.empty() != tls.key.empty())
    error = options.where(tls.cert.empty() ? "key" : "cert") + ": cert and key go together";
  else if (options.poll.pollers < 1 || options.poll.pollers > 64)
    error = options.where("pollers") + ": must be 1 to 64";
  else if (!options.proxy.empty() && options.proxy != "none" && !is_http_url(options.proxy))
    error = options.where("proxy") + ": expected an http:// or https:// URL, or none";
  if (!error.empty()) return false;
  // The poll connection: the named proxy, none at all, or what the environment says.
  options.poll.tls.proxy = options.proxy == "none" ? "" : options.proxy;
  options.poll.tls.proxy_from_environment = options.proxy.empty();
  return true;
}

}  // namespace

std::string remote_options::where(const std::string& name) const {
  const auto found = origin.find(name);
  return found == origin.end() ? name : found->second;
}

bool parse_remote_options(int argc, char** argv, remote_options& options, std::string& error) {
  std::vector<std::pair<std::string, std::string>> given;  // command line, in order
  const auto take = [&](const std::string& name, const std::string& value, std::string&) {
    if (name == "help") options.help = true;
    else if (name == "version") options.version = true;
    else if (name == "check-config") options.check_config = true;
    else if (name == "config") options.config_file = value;
    else given.emplace_back(name, value);
    return true;
  };
  if (!qel::tools::parse_command_line(argc, argv, 1, "qelcs-remote", command_line_options(), take,
                                      nullptr, error))
    return false;
  if (options.help || options.version) return true;
  std::vector<qel::tools::key_value> entries;
  if (!options.config_file.empty() && !read_key_value_file(options.config_file, entries, error))
    return false;
  std::string problem;
  for (const qel::tools::key_value& entry : entries) {
    const std::string where = options.config_file + ":" + std::to_string(entry.line) + ": " + entry.name;
    if (!known(entry.name)) problem = "unknown key";
    if (!known(entry.name) && entry.name.find_first_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos)
      problem += " (an environment file's line? write 'poll = URL', see qelcs-remote.conf(5))";
    if (!problem.empty() || !set_value(options, entry.name, entry.value, problem)) {
      error = where + ": " + problem;
      return false;
    }
    options.origin[entry.name] = where;
  }
  for (const auto& [name, value] : given) {  // the command line wins
    const std::string where = "option '--" + name + "'";
    if (!set_value(options, name, value, problem)) {
      error = where + ": " + problem;
      return false;
    }
    options.origin[name] = where;
  }
  return check(options, error);
}

bool read_start_files(remote_options& options, std::string& error) {
  std::string text;
  const tls_options& tls = options.poll.tls;
  if (!tls.cacert.empty() && !read_whole("CA", tls.cacert, text, error)) return false;
  if (!tls.cert.empty() && !read_whole("certificate", tls.cert, text, error)) return false;
  if (!tls.key.empty() && !read_whole("key", tls.key, text, error)) return false;
  if (options.token_file.empty()) {
    options.poll.token.clear();
    return true;
  }
  if (!read_whole("token", options.token_file, text, error)) return false;
  text.erase(text.find_last_not_of(" \t\r\n") + 1);
  text.erase(0, text.find_first_not_of(" \t\r\n"));
  if (text.empty()) {
    error = "token file '" + options.token_file + "' holds no token";
    return false;
  }
  options.poll.token = text;
  return true;
}

std::string remote_usage() {
  return
      "Usage: qelcs-remote --poll URL --target URL [options]\n"
      "       qelcs-remote --config FILE [options]\n"
      "\n"
      "Connects out to a connection server's reverse tunnel and serves the requests that\n"
      "its callers send there: each request arrives in the response to a long poll of\n"
      "--poll, is sent to --target with the request's resource path appended (method from\n"
      "X-QEL-Method, POST by default; Content-Type and body kept), and the target's status\n"
      "and body go back in the next poll. The first poll resets the tunnel: requests still\n"
      "out with an earlier client are released with 503. Further polls join the tunnel, so\n"
      "--pollers requests are served at once, each over its own connections.\n"
      "\n"
      "  --poll URL             reverse connection URL, e.g.\n"
      "                         http://127.0.0.1:18081/qel/reverseConnection\n"
      "  --target URL           base URL of the service that answers the requests,\n"
      "                         e.g. http://127.0.0.1:8080 (a request for /qel goes to\n"
      "                         http://127.0.0.1:8080/qel); unreachable: callers get 502\n"
      "  --cacert FILE          CA certificates that verify an https poll URL\n"
      "  --cert FILE --key FILE client certificate and key (PEM) for the poll URL\n"
      "  --insecure             do not verify the poll URL's certificate (off by default)\n"
      "  --token FILE           send the token in FILE as 'Authorization: Bearer' on polls\n"
      "  --proxy URL            send the polls through this HTTP forward proxy\n"
      "                         (http://HOST:PORT; https poll URLs tunnel with CONNECT);\n"
      "                         'none': connect directly. Without it the polls follow\n"
      "                         the https_proxy, http_proxy, all_proxy and no_proxy\n"
      "                         variables; the target is always reached directly\n"
      "  --max-auth-failures N  stop (exit status 3) after N polls in a row were answered\n"
      "                         401 or 403: the credentials are wrong (default 5, 0: never)\n"
      "  --pollers N            polls open at once, 1 to 64 (default 4); a host that does\n"
      "                         not know join polls is served with one\n"
      "  --max-requests N       stop after N requests have been forwarded and answered\n"
      "                         (0: no limit)\n"
      "  --duration S           stop after S seconds (0: no limit)\n"
      "  --status-interval S    log a status line every S seconds (default 10, 0: never)\n"
      "  --poll-timeout S       give up on a poll after S seconds (default 90; the server\n"
      "                         answers an idle poll after 28-56 s)\n"
      "  --target-timeout S     give up on the target after S seconds (default 60): 502\n"
      "  --max-backoff S        longest wait between reconnect attempts (default 30); the\n"
      "                         wait starts at 0.5 s and doubles after each failure\n"
      "  --drain-timeout S      on SIGINT or SIGTERM, take no new requests and finish\n"
      "                         those in hand within S seconds (default 10)\n"
      "  --metrics HOST:PORT    serve the client's counters at http://HOST:PORT/metrics\n"
      "                         (Prometheus text format) and /healthz; port 0 picks one\n"
      "  --log-level LEVEL      error, warning, info (default) or debug (a line per\n"
      "                         forwarded request)\n"
      "  -v, --verbose          the same as --log-level debug\n"
      "  --log-format FORMAT    text (default) or json: one JSON object a line with\n"
      "                         time, level, program and message\n"
      "  --log-file FILE        append the log to FILE instead of stderr; reopened on\n"
      "                         SIGUSR1 and SIGHUP (for logrotate)\n"
      "  --config FILE          read 'name = value' lines with the option names above\n"
      "                         (without '--'; 'insecure = true'); '#' starts a comment\n"
      "                         line; options on the command line win over the file\n"
      "  --check-config         check the options and every file they name, print the\n"
      "                         effective configuration and exit: 0 valid, 1 not\n"
      "  --user NAME            with --check-config: the user the client will run as;\n"
      "                         the files must be readable by that user (default: the\n"
      "                         user running the check)\n"
      "  -h, --help             print this text\n"
      "  --version              print the version and exit\n"
      "\n"
      "Every log line carries its time and level (journald priorities under systemd).\n"
      "SIGINT or SIGTERM stops the client: against a host that knows it, it takes no new\n"
      "requests and finishes those in hand within --drain-timeout; against an older host\n"
      "the answer in hand is still returned. A second signal stops at once. A summary is\n"
      "logged at the end. SIGHUP reads the configuration again and applies the token,\n"
      "TLS files, proxy and log options to the next polls; a change of the poll URL,\n"
      "target, pollers or other options needs a restart and is named in a warning; a\n"
      "configuration with errors is not applied. SIGUSR1 reopens the log file.\n"
      "\n"
      "Exit status:\n"
      "  0  the run ended: a signal, --max-requests or --duration; --check-config: valid\n"
      "  1  wrong options or config file; --check-config: the configuration is not valid\n"
      "  2  a file named by --cacert, --cert, --key or --token cannot be read, the log\n"
      "     file cannot be opened, or the --metrics address cannot be opened\n"
      "  3  the host refused the credentials --max-auth-failures times in a row\n";
}

}  // namespace qelcs_remote
