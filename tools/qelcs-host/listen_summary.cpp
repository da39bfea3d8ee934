// Reading addresses and ports from listener settings texts for the start-up message.
#include "listen_summary.h"

#include <fstream>
#include <map>
#include <sstream>

namespace qelcs_host {

namespace {

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// A text that names a readable file stands for the file's contents.
std::string contents_or_text(const std::string& text) {
  if (text.empty() || text.find('\n') != std::string::npos) return text;
  std::ifstream in(text);
  if (!in) return text;
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void apply_line(endpoint_summary& endpoint, const std::string& key, const std::string& value) {
  if (key == "address") endpoint.address = value;
  if (key == "port") endpoint.port = value;
  if (key == "resources") endpoint.resources = value;
  if (key == "tls_cert_file" && !value.empty())
    endpoint.tls = true;
  if ((key == "tls_client_ca_file" || key == "bearer_token_file") && !value.empty())
    endpoint.client_auth = true;
}

void parse_into(const std::string& text, std::map<std::string, endpoint_summary>& endpoints) {
  std::istringstream in(contents_or_text(text));
  std::string line, section;
  while (std::getline(in, line)) {
    line = trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    if (line.front() == '[' && line.back() == ']') {
      std::istringstream words(line.substr(1, line.size() - 2));
      std::string kind;
      words >> kind >> section;
      endpoints[section].name = section;
      continue;
    }
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    apply_line(endpoints[section], trim(line.substr(0, equals)), trim(line.substr(equals + 1)));
  }
}

}  // namespace

std::vector<endpoint_summary> summarize_listeners(const std::string& settings_1,
                                                  const std::string& settings_2) {
  std::map<std::string, endpoint_summary> endpoints;
  endpoints[""].port = "18080";  // the HTTP service library's default for the default endpoint
  parse_into(settings_1, endpoints);
  parse_into(settings_2, endpoints);
  std::vector<endpoint_summary> result;
  for (const auto& entry : endpoints)
    if (!entry.second.port.empty()) result.push_back(entry.second);
  return result;
}

std::string base_url(const endpoint_summary& endpoint) {
  const bool v6 = endpoint.address.find(':') != std::string::npos;
  return std::string(endpoint.tls ? "https://" : "http://") + (v6 ? "[" : "") + endpoint.address +
         (v6 ? "]" : "") + ":" + endpoint.port;
}

namespace {

bool lists(const std::string& resources, const std::string& resource) {
  std::istringstream items(resources);
  for (std::string item; std::getline(items, item, ',');)
    if (trim(item) == resource) return true;
  return false;
}

const endpoint_summary* endpoint_serving(const std::vector<endpoint_summary>& endpoints,
                                         const std::string& resource) {
  for (const auto& endpoint : endpoints)
    if (!endpoint.name.empty() && lists(endpoint.resources, resource)) return &endpoint;
  for (const auto& endpoint : endpoints)
    if (endpoint.name.empty()) return &endpoint;
  return nullptr;
}

bool loopback(const std::string& address) {
  return address.rfind("127.", 0) == 0 || address == "::1" || address == "localhost";
}

}  // namespace

std::string url_serving(const std::vector<endpoint_summary>& endpoints, const std::string& resource) {
  const endpoint_summary* endpoint = endpoint_serving(endpoints, resource);
  return endpoint != nullptr ? base_url(*endpoint) : "";
}

std::string remote_side_warning(const std::vector<endpoint_summary>& endpoints) {
  const endpoint_summary* endpoint = endpoint_serving(endpoints, "/qel/reverseConnection");
  if (endpoint == nullptr || loopback(endpoint->address)) return "";
  if (endpoint->tls && endpoint->client_auth) return "";
  return "the reverse connection resource is served on " + base_url(*endpoint) + " without " +
         (endpoint->tls ? "client authentication" : "TLS") +
         ": anybody who reaches it can take the callers' requests and answer them; see "
         "docs/host.md for a deployment with TLS and a bearer token or client certificates";
}

}  // namespace qelcs_host
