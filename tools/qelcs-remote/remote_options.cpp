// Command-line parsing of qelcs-remote.
#include "remote_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "command_line.h"

namespace qelcs_remote {

namespace {

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

bool set_value(remote_options& options, const std::string& name, const std::string& value,
               std::string& error) {
  double number = 0;
  if (name == "poll") options.poll.poll_url = value;
  else if (name == "target") options.target_url = value;
  else if (name == "cacert") options.poll.tls.cacert = value;
  else if (name == "cert") options.poll.tls.cert = value;
  else if (name == "key") options.poll.tls.key = value;
  else if (name == "token") options.token_file = value;
  else if (name == "metrics") options.metrics_address = value;
  else if (name == "insecure") options.poll.tls.insecure = true;
  else if (name == "verbose") options.log_level = qel::tools::log_level::debug;
  else if (name == "help") options.help = true;
  else if (name == "version") options.version = true;
  else if (name == "log-level") {
    if (qel::tools::parse_log_level(value, options.log_level)) return true;
    error = "option '--log-level': expected error, warning, info or debug, got '" + value + "'";
    return false;
  } else if (!parse_number(value, number) || !set_number(options, name, number)) {
    error = "option '--" + name + "': expected a number, got '" + value + "'";
    return false;
  }
  return true;
}

bool check(const remote_options& options, std::string& error) {
  if (!is_http_url(options.poll.poll_url)) error = "--poll needs an http:// or https:// URL";
  else if (!is_http_url(options.target_url)) error = "--target needs an http:// or https:// URL";
  else if (options.poll.tls.cert.empty() != options.poll.tls.key.empty())
    error = "--cert and --key go together";
  else if (options.poll.pollers < 1 || options.poll.pollers > 64)
    error = "--pollers must be 1 to 64";
  return error.empty();
}

const std::vector<qel::tools::option_entry>& command_line_options() {
  static const std::vector<qel::tools::option_entry> entries = {
      {"poll", true},           {"target", true},         {"cacert", true},
      {"cert", true},           {"key", true},            {"token", true},
      {"insecure", false},      {"pollers", true},        {"max-requests", true},
      {"duration", true},       {"status-interval", true}, {"poll-timeout", true},
      {"target-timeout", true}, {"max-backoff", true},    {"max-auth-failures", true},
      {"drain-timeout", true},  {"metrics", true},        {"log-level", true},
      {"verbose", false, 'v'},
      {"help", false, 'h'},     {"version", false}};
  return entries;
}

}  // namespace

bool parse_remote_options(int argc, char** argv, remote_options& options, std::string& error) {
  const auto take = [&](const std::string& name, const std::string& value, std::string& problem) {
    return set_value(options, name, value, problem);
  };
  if (!qel::tools::parse_command_line(argc, argv, 1, "qelcs-remote", command_line_options(), take,
                                      nullptr, error))
    return false;
  return options.help || options.version || check(options, error);
}

bool read_start_files(remote_options& options, std::string& error) {
  std::string text;
  const tls_options& tls = options.poll.tls;
  if (!tls.cacert.empty() && !read_whole("CA", tls.cacert, text, error)) return false;
  if (!tls.cert.empty() && !read_whole("certificate", tls.cert, text, error)) return false;
  if (!tls.key.empty() && !read_whole("key", tls.key, text, error)) return false;
  if (options.token_file.empty()) return true;
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
      "  --metrics ADDR:PORT    serve the client's counters at http://ADDR:PORT/metrics\n"
      "                         (Prometheus text format; port 0 picks one, logged)\n"
      "  --log-level LEVEL      error, warning, info (default) or debug (a line per\n"
      "                         forwarded request)\n"
      "  -v, --verbose          the same as --log-level debug\n"
      "  -h, --help             print this text\n"
      "  --version              print the version and exit\n"
      "\n"
      "Every log line carries its time and level (journald priorities under systemd).\n"
      "SIGINT or SIGTERM stops the client: against a host that knows it, it takes no new\n"
      "requests and finishes those in hand within --drain-timeout; against an older host\n"
      "the answer in hand is still returned. A second signal stops at once. A summary is\n"
      "logged at the end. SIGHUP is logged and ignored.\n"
      "\n"
      "Exit status:\n"
      "  0  the run ended: a signal, --max-requests or --duration\n"
      "  1  wrong options\n"
      "  2  a file named by --cacert, --cert, --key or --token cannot be read, or the\n"
      "     --metrics address cannot be opened\n"
      "  3  the host refused the credentials --max-auth-failures times in a row\n";
}

}  // namespace qelcs_remote
