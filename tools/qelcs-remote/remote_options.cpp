// Command-line parsing of qelcs-remote.
#include "remote_options.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "../common/long_option.h"

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

bool read_token(const std::string& path, std::string& token, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read token file '" + path + "'";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  token = text.str();
  token.erase(token.find_last_not_of(" \t\r\n") + 1);
  token.erase(0, token.find_first_not_of(" \t\r\n"));
  if (token.empty()) error = "token file '" + path + "' is empty";
  return !token.empty();
}

// Options that take a number of seconds (or a count).
bool set_number(remote_options& options, const std::string& name, double value) {
  if (name == "max-requests") options.poll.max_requests = static_cast<uint64_t>(value);
  else if (name == "duration") options.poll.duration_s = value;
  else if (name == "status-interval") options.status_interval_s = value;
  else if (name == "poll-timeout") options.poll.poll_timeout_ms = static_cast<long>(value * 1000);
  else if (name == "target-timeout") options.target_timeout_ms = static_cast<long>(value * 1000);
  else if (name == "max-backoff") options.poll.max_backoff_ms = static_cast<long>(value * 1000);
  else if (name == "pollers") options.poll.pollers = static_cast<unsigned>(value);
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
  else if (!parse_number(value, number)) {
    error = "option '--" + name + "': expected a number, got '" + value + "'";
    return false;
  } else if (!set_number(options, name, number)) {
    error = "unknown option '--" + name + "'";
    return false;
  }
  return true;
}

bool check(remote_options& options, std::string& error) {
  if (!is_http_url(options.poll.poll_url)) error = "--poll needs an http:// or https:// URL";
  else if (!is_http_url(options.target_url)) error = "--target needs an http:// or https:// URL";
  else if (options.poll.tls.cert.empty() != options.poll.tls.key.empty())
    error = "--cert and --key go together";
  else if (options.poll.pollers < 1 || options.poll.pollers > 64)
    error = "--pollers must be 1 to 64";
  else if (!options.token_file.empty())
    return read_token(options.token_file, options.poll.token, error);
  return error.empty();
}

}  // namespace

bool parse_remote_options(int argc, char** argv, remote_options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i], value;
    if (name == "-h" || name == "--help") { options.help = true; return true; }
    if (name == "--version") { options.version = true; return true; }
    if (name == "--insecure") { options.poll.tls.insecure = true; continue; }
    if (name.rfind("--", 0) != 0) { error = "unexpected argument '" + name + "'"; return false; }
    if (!qel::tools::take_long_option(argc, argv, i, name, value, error)) return false;
    if (!set_value(options, name, value, error)) return false;
  }
  return check(options, error);
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
      "                         http://127.0.0.1:18080/qel/reverseConnection\n"
      "  --target URL           base URL of the service that answers the requests,\n"
      "                         e.g. http://127.0.0.1:8080 (a request for /qel goes to\n"
      "                         http://127.0.0.1:8080/qel); unreachable: callers get 502\n"
      "  --cacert FILE          CA certificates that verify an https poll URL\n"
      "  --cert FILE --key FILE client certificate and key (PEM) for the poll URL\n"
      "  --insecure             do not verify the poll URL's certificate (off by default)\n"
      "  --token FILE           send the token in FILE as 'Authorization: Bearer' on polls\n"
      "  --pollers N            polls open at once, 1 to 64 (default 4); a host that does\n"
      "                         not know join polls is served with one\n"
      "  --max-requests N       stop after N requests have been forwarded and answered\n"
      "                         (0: no limit)\n"
      "  --duration S           stop after S seconds (0: no limit)\n"
      "  --status-interval S    print a status line every S seconds (default 10, 0: never)\n"
      "  --poll-timeout S       give up on a poll after S seconds (default 90; the server\n"
      "                         answers an idle poll after 28-56 s)\n"
      "  --target-timeout S     give up on the target after S seconds (default 60): 502\n"
      "  --max-backoff S        longest wait between reconnect attempts (default 30); the\n"
      "                         wait starts at 0.5 s and doubles after each failure\n"
      "  -h, --help             print this text\n"
      "  --version              print the version and exit\n"
      "\n"
      "SIGINT or SIGTERM stops the client: the answer in hand is still returned, then a\n"
      "summary is printed. Exit status: 0 after a run, 1 for wrong options.\n";
}

}  // namespace qelcs_remote
