// The start-up report of qelcs-host.
#include "ready_report.h"

#include <algorithm>

namespace qelcs_host {

namespace {

constexpr const char* registration = "/qel/sensor_services/management";
constexpr const char* poll = "/qel/reverseConnection";
constexpr const char* callers = "/qel";

std::string join(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

const endpoint_view* serving(const std::vector<endpoint_view>& endpoints, const std::string& resource) {
  for (const endpoint_view& e : endpoints) {
    const auto& list = e.served.resources;
    if (std::find(list.begin(), list.end(), resource) != list.end()) return &e;
  }
  return nullptr;
}

// "scheme://host:port" -> host, without brackets.
std::string url_host(const std::string& url) {
  const size_t start = url.find("://") + 3;
  const size_t end = url.rfind(':');
  std::string host = url.substr(start, end - start);
  if (!host.empty() && host.front() == '[') host = host.substr(1, host.size() - 2);
  return host;
}

// A URL a local command can reach: a wildcard address becomes loopback.
std::string reachable(const std::string& url) {
  const std::string host = url_host(url);
  if (host == "0.0.0.0") return url.substr(0, url.find("://") + 3) + "127.0.0.1" + url.substr(url.rfind(':'));
  if (host == "::") return url.substr(0, url.find("://") + 3) + "[::1]" + url.substr(url.rfind(':'));
  return url;
}

bool loopback(const std::string& host) { return host.rfind("127.", 0) == 0 || host == "::1"; }

// The options a client needs for this endpoint, in curl's words or qelcs-remote's.
std::string client_options(const endpoint_view& e, bool curl) {
  std::string options;
  if (e.config == nullptr) return options;
  if (!e.config->tls_cert_file.empty()) options += " --cacert " + e.config->tls_cert_file;
  if (!e.config->tls_client_ca_file.empty()) options += " --cert CLIENT-CERT.pem --key CLIENT-KEY.pem";
  if (!e.config->bearer_token_file.empty())
    options += curl ? " -H \"Authorization: Bearer $(cat " + e.config->bearer_token_file + ")\""
                    : " --token " + e.config->bearer_token_file;
  return options;
}

}  // namespace

std::vector<std::string> listening_lines(const std::vector<endpoint_view>& endpoints) {
  std::vector<std::string> lines;
  for (const endpoint_view& e : endpoints)
    lines.push_back("listening on " + e.served.url + " for " + join(e.served.resources));
  return lines;
}

std::string remote_side_warning(const std::vector<endpoint_view>& endpoints) {
  const endpoint_view* e = serving(endpoints, poll);
  if (e == nullptr || loopback(url_host(e->served.url))) return "";
  const bool tls = e->served.url.rfind("https://", 0) == 0;
  const bool client_auth = e->config != nullptr && (!e->config->bearer_token.empty() ||
                                                    !e->config->tls_client_ca_pem.empty());
  if (tls && (client_auth || e->config == nullptr)) return "";
  return "the reverse connection resource is served on " + e->served.url + " without " +
         (tls ? "client authentication" : "TLS") +
         ": anybody who reaches it can take the callers' requests and answer them; see "
         "docs/host.md for a deployment with TLS and a bearer token or client certificates";
}

const int hint_target_port = 8080;

std::vector<std::string> try_lines(const std::vector<endpoint_view>& endpoints,
                                   const std::string& remote_command) {
  const std::string target_address = "127.0.0.1:" + std::to_string(hint_target_port);
  std::vector<std::string> lines = {"ready. Try:"};
  if (const endpoint_view* e = serving(endpoints, registration))
    lines.push_back("  curl -s -X POST --data ''" + client_options(*e, true) + " " +
                    reachable(e->served.url) + registration);
  if (const endpoint_view* e = serving(endpoints, poll)) {
    // A one-line target that answers every POST with what it got, so the caller's
    // request below gets an answer through the tunnel.
    lines.push_back(
        "  python3 -c 'import http.server as h; h.BaseHTTPRequestHandler.do_POST = lambda s: "
        "(s.send_response(200), s.end_headers(), s.wfile.write(b\"target got: \" + "
        "s.rfile.read(int(s.headers[\"Content-Length\"] or 0)) + b\"\\n\")); "
        "h.HTTPServer((\"127.0.0.1\", " + std::to_string(hint_target_port) +
        "), h.BaseHTTPRequestHandler).serve_forever()' &  # a target answering POST on " + target_address);
    lines.push_back("  " + remote_command + " --poll " + reachable(e->served.url) + poll +
                    client_options(*e, false) + " --target http://" + target_address + " &");
  }
  if (const endpoint_view* e = serving(endpoints, callers))
    lines.push_back("  curl -s -X POST -H 'Content-Type: text/plain' --data hello" +
                    client_options(*e, true) + " " + reachable(e->served.url) + callers);
  for (const endpoint_view& e : endpoints)
    if (e.config != nullptr && e.config->metrics)
      lines.push_back("  curl -s" + client_options(e, true) + " " + reachable(e.served.url) + "/metrics");
  return lines;
}

}  // namespace qelcs_host
