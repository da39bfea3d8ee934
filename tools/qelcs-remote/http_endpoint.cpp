// Taking a URL apart and choosing its route.
#include "http_endpoint.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <sodium.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace qelcs_remote {

namespace {

struct url_deleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using url_handle = std::unique_ptr<CURLU, url_deleter>;

// One part of a parsed URL, "" when absent.
std::string part(CURLU* url, CURLUPart which, unsigned flags = 0) {
  char* text = nullptr;
  if (curl_url_get(url, which, &text, flags) != CURLUE_OK || text == nullptr) return "";
  std::string value = text;
  curl_free(text);
  return value;
}

std::string getenv_or_empty(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// "Basic base64(user:password)" for a proxy URL with a user name; "" otherwise.
std::string basic_credentials(const std::string& proxy_url) {
  url_handle url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, proxy_url.c_str(), CURLU_GUESS_SCHEME) != CURLUE_OK)
    return "";
  const std::string user = part(url.get(), CURLUPART_USER, CURLU_URLDECODE);
  if (user.empty()) return "";
  const std::string pair = user + ":" + part(url.get(), CURLUPART_PASSWORD, CURLU_URLDECODE);
  std::string encoded(sodium_base64_encoded_len(pair.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(&encoded[0], encoded.size(), reinterpret_cast<const unsigned char*>(pair.data()),
                    pair.size(), sodium_base64_VARIANT_ORIGINAL);
  encoded.resize(encoded.size() - 1);
  return "Basic " + encoded;
}

bool is_socks(const std::string& proxy_url) { return strncasecmp(proxy_url.c_str(), "socks", 5) == 0; }

// An address range "a.b.c.d/n" or "x::y/n" holding `address`.
bool in_range(const std::string& range, const std::string& address) {
  const auto slash = range.find('/');
  const std::string base = range.substr(0, slash);
  unsigned char a[16], b[16];
  int family = AF_INET;
  if (inet_pton(AF_INET, address.c_str(), a) != 1) {
    family = AF_INET6;
    if (inet_pton(AF_INET6, address.c_str(), a) != 1) return false;
  }
  if (inet_pton(family, base.c_str(), b) != 1) return false;
  const int size = family == AF_INET ? 32 : 128;
  int bits = slash == std::string::npos ? size : std::atoi(range.c_str() + slash + 1);
  if (bits < 0 || bits > size) return false;
  for (int i = 0; bits > 0; ++i, bits -= 8) {
    const unsigned char mask = bits >= 8 ? 0xff : static_cast<unsigned char>(0xff << (8 - bits));
    if ((a[i] & mask) != (b[i] & mask)) return false;
  }
  return true;
}

bool is_address(const std::string& host) {
  unsigned char buffer[16];
  return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

}  // namespace

bool no_proxy_matches(const std::string& list, const std::string& raw_host) {
  std::string host = raw_host;
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  while (!host.empty() && host.back() == '.') host.pop_back();
  const bool address = is_address(host);
  std::size_t at = 0;
  while (at < list.size()) {
    const std::size_t end = std::min(list.find_first_of(", \t", at), list.size());
    std::string token = list.substr(at, end - at);
    at = end + 1;
    if (token.empty()) continue;
    if (token == "*") return true;
    if (address) {
      if (strcasecmp(token.c_str(), host.c_str()) == 0 || in_range(token, host)) return true;
      continue;
    }
    if (token.front() == '.') token.erase(0, 1);
    while (!token.empty() && token.back() == '.') token.pop_back();
    if (token.empty() || token.size() > host.size()) continue;
    const std::size_t offset = host.size() - token.size();
    if (strcasecmp(host.c_str() + offset, token.c_str()) == 0 && (offset == 0 || host[offset - 1] == '.'))
      return true;
  }
  return false;
}

std::string environment_proxy_for_http(const std::string& host) {
  std::string proxy = getenv_or_empty("http_proxy");  // HTTP_PROXY: set by CGI from a request header
  if (proxy.empty()) proxy = getenv_or_empty("all_proxy");
  if (proxy.empty()) proxy = getenv_or_empty("ALL_PROXY");
  if (proxy.empty()) return "";
  std::string no_proxy = getenv_or_empty("no_proxy");
  if (no_proxy.empty()) no_proxy = getenv_or_empty("NO_PROXY");
  return no_proxy_matches(no_proxy, host) ? "" : proxy;
}

bool make_endpoint(const std::string& text, const tls_options& options, http_endpoint& endpoint,
                   std::string& error) {
  url_handle url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) {
    error = text + ": not a URL";
    return false;
  }
  const std::string scheme = part(url.get(), CURLUPART_SCHEME);
  const std::string host = part(url.get(), CURLUPART_HOST);
  if ((scheme != "http" && scheme != "https") || host.empty()) {
    error = text + ": not an http or https URL";
    return false;
  }
  endpoint = http_endpoint();
  endpoint.url = text;
  endpoint.tls = scheme == "https";
  endpoint.options = options;
  endpoint.options.live.reset();
  const std::string port = part(url.get(), CURLUPART_PORT);  // only when the URL names one
  endpoint.authority = port.empty() ? host : host + ":" + port;
  endpoint.origin = scheme + "://" + endpoint.authority;
  const std::string path = part(url.get(), CURLUPART_PATH);
  const std::string query = part(url.get(), CURLUPART_QUERY);
  endpoint.path = (path.empty() ? "/" : path) + (query.empty() ? "" : "?" + query);
  // https always tunnels through a proxy, so libcurl may choose one from the variables.
  if (endpoint.tls) {
    endpoint.proxy_decided = !options.proxy.empty() || !options.proxy_from_environment;
    endpoint.proxy = options.proxy;
    return true;
  }
  endpoint.proxy = !options.proxy.empty()           ? options.proxy
                   : options.proxy_from_environment ? environment_proxy_for_http(host)
                                                    : "";
  endpoint.absolute_form = !endpoint.proxy.empty() && !is_socks(endpoint.proxy);
  if (endpoint.absolute_form) endpoint.proxy_authorization = basic_credentials(endpoint.proxy);
  return true;
}

}  // namespace qelcs_remote
