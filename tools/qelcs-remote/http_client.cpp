// libcurl exchanges for the poll loop and the forwarder.
#include "http_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "live_settings.h"

namespace qelcs_remote {

namespace {

struct slist_deleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using header_list = std::unique_ptr<curl_slist, slist_deleter>;

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

size_t on_body(char* data, size_t size, size_t count, void* user) {
  static_cast<http_response*>(user)->body.append(data, size * count);
  return size * count;
}

// One header line per call; a later response (after 100 Continue or a redirect)
// replaces what an earlier one left.
size_t on_header(char* data, size_t size, size_t count, void* user) {
  auto* response = static_cast<http_response*>(user);
  const std::string line(data, size * count);
  if (line.rfind("HTTP/", 0) == 0) response->headers.clear();
  const auto colon = line.find(':');
  if (colon != std::string::npos) {
    const auto first = line.find_first_not_of(" \t", colon + 1);
    const auto last = line.find_last_not_of(" \t\r\n");
    std::string value = first == std::string::npos || last < first
                            ? std::string() : line.substr(first, last - first + 1);
    response->headers[lower(line.substr(0, colon))] = value;
  }
  return size * count;
}

// Ends an exchange once the abort flag is set, but only after the whole request has
// gone out: a poll that carries an answer still delivers it.
int on_progress(void* user, curl_off_t, curl_off_t, curl_off_t upload_total, curl_off_t uploaded) {
  const auto* abort = static_cast<const std::atomic<bool>*>(user);
  return abort != nullptr && abort->load() && uploaded >= upload_total ? 1 : 0;
}

// The request's headers; with `live`, its Authorization header is the live token's.
header_list build_headers(const http_request& request, bool live, const std::string& token) {
  curl_slist* list = nullptr;
  for (const auto& header : request.headers) {
    if (live && lower(header.first) == "authorization") continue;
    list = curl_slist_append(list, (header.first + ": " + header.second).c_str());
  }
  if (live && !token.empty()) list = curl_slist_append(list, ("Authorization: Bearer " + token).c_str());
  // No "Expect: 100-continue" round trip before larger bodies.
  list = curl_slist_append(list, "Expect:");
  if (request.headers.end() == std::find_if(request.headers.begin(), request.headers.end(),
                                            [](const auto& h) { return lower(h.first) == "content-type"; }))
    list = curl_slist_append(list, "Content-Type:");  // no form content type by default
  return header_list(list);
}

void set_method(CURL* curl, const http_request& request) {
  if (request.method == "GET" && request.body.empty()) {
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  } else if (request.method == "HEAD") {
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  } else {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    if (request.method != "POST") curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
  }
}

void apply_tls(CURL* curl, const tls_options& tls) {
  if (!tls.cacert.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, tls.cacert.c_str());
  if (!tls.cert.empty()) curl_easy_setopt(curl, CURLOPT_SSLCERT, tls.cert.c_str());
  if (!tls.key.empty()) curl_easy_setopt(curl, CURLOPT_SSLKEY, tls.key.c_str());
  curl_easy_setopt(curl, CURLOPT_SSLVERSION, CURL_SSLVERSION_TLSv1_2);
  if (tls.insecure) {
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
  }
}

// libcurl reads the *_proxy variables unless told otherwise: an empty proxy turns them
// off, an empty no-proxy list makes a named proxy apply to every host.
void apply_proxy(CURL* curl, const tls_options& tls) {
  if (!tls.proxy.empty()) {
    curl_easy_setopt(curl, CURLOPT_PROXY, tls.proxy.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
  } else if (!tls.proxy_from_environment) {
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
  }
}

}  // namespace

std::string http_response::header(const std::string& name) const {
  const auto found = headers.find(lower(name));
  return found == headers.end() ? std::string() : found->second;
}

http_client::http_client(tls_options tls) : curl_(curl_easy_init()), tls_(std::move(tls)) {
  if (tls_.live) generation_ = tls_.live->generation();
}

http_client::~http_client() {
  if (curl_ != nullptr) curl_easy_cleanup(curl_);
}

tls_options http_client::current_options(std::string& token, bool& live) {
  live = tls_.live != nullptr;
  if (!live) return tls_;
  const live_settings::values now = tls_.live->current();
  const unsigned generation = tls_.live->generation();
  if (generation != generation_ && curl_ != nullptr) {
    // New files or proxy: the next connection must use them, so drop the cached ones.
    curl_easy_cleanup(curl_);
    curl_ = curl_easy_init();
    generation_ = generation;
  }
  token = now.token;
  return now.connection;
}

bool http_client::perform(const http_request& request, http_response& response,
                          std::string& error, const std::atomic<bool>* abort) {
  std::string token;
  bool live = false;
  const tls_options options = current_options(token, live);
  if (curl_ == nullptr) {
    error = request.url + ": cannot create a libcurl handle";
    return false;
  }
  response = http_response();
  curl_easy_reset(curl_);  // keeps the connection cache
  char detail[CURL_ERROR_SIZE] = {0};
  const header_list headers = build_headers(request, live, token);
  curl_easy_setopt(curl_, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, detail);
  curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, request.timeout_ms);
  curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, request.connect_timeout_ms);
  curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, on_body);
  curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &response);
  curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, on_header);
  curl_easy_setopt(curl_, CURLOPT_HEADERDATA, &response);
  curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, on_progress);
  curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, abort);
  set_method(curl_, request);
  apply_tls(curl_, options);
  apply_proxy(curl_, options);
  const CURLcode result = curl_easy_perform(curl_);
  reached_ = result != CURLE_COULDNT_RESOLVE_HOST && result != CURLE_COULDNT_RESOLVE_PROXY &&
             result != CURLE_COULDNT_CONNECT && result != CURLE_SSL_CONNECT_ERROR &&
             result != CURLE_PEER_FAILED_VERIFICATION;
  if (result != CURLE_OK) {
    error = request.url + ": " + curl_easy_strerror(result) +
            (detail[0] != '\0' ? std::string(" (") + detail + ")" : std::string());
    return false;
  }
  curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &response.status);
  return true;
}

}  // namespace qelcs_remote
