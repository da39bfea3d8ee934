#include "tests/support/http_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>

namespace qeltest {
namespace {

struct curl_setup {
  curl_setup() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};
const curl_setup setup_once;

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

size_t on_body(char* data, size_t size, size_t count, void* user) {
  static_cast<http_result*>(user)->body.append(data, size * count);
  return size * count;
}

// Keeps the first value of a repeated header.
size_t on_header(char* data, size_t size, size_t count, void* user) {
  const std::string line(data, size * count);
  const auto colon = line.find(':');
  if (colon != std::string::npos) {
    const auto first = line.find_first_not_of(" \t", colon + 1);
    const auto last = line.find_last_not_of(" \t\r\n");
    static_cast<http_result*>(user)->headers.emplace(
        lower(line.substr(0, colon)),
        first == std::string::npos || last < first ? "" : line.substr(first, last - first + 1));
  }
  return size * count;
}

// One prepared exchange: handle, header list and where the result goes.
struct exchange {
  CURL* curl = curl_easy_init();
  curl_slist* list = nullptr;
  http_result result;
  std::string body;

  exchange(const std::string& url, std::string data, const http_options& options)
      : body(std::move(data)) {
    for (const auto& line : options.headers) list = curl_slist_append(list, line.c_str());
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    if (options.method == "POST") {
      curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
      curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    } else if (options.method == "GET") {
      curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    } else {
      curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, options.method.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, options.timeout_ms);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, on_body);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, on_header);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &result);
    if (!options.ca_file.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, options.ca_file.c_str());
    if (!options.cert_file.empty()) {
      curl_easy_setopt(curl, CURLOPT_SSLCERT, options.cert_file.c_str());
      curl_easy_setopt(curl, CURLOPT_SSLKEY, options.key_file.c_str());
    }
  }
  ~exchange() {
    curl_easy_cleanup(curl);
    curl_slist_free_all(list);
  }
  exchange(const exchange&) = delete;
  exchange& operator=(const exchange&) = delete;

  void finish(CURLcode code) {
    if (code != CURLE_OK) result.error = curl_easy_strerror(code);
    else curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
  }
};

http_options post_options(const header_lines& headers, long timeout_ms) {
  http_options options;
  options.headers = headers;
  options.headers.push_back("Expect:");
  options.timeout_ms = timeout_ms;
  return options;
}

}  // namespace

bool http_result::has_header(const std::string& name) const {
  return headers.count(lower(name)) != 0;
}

std::string http_result::header(const std::string& name) const {
  const auto found = headers.find(lower(name));
  return found == headers.end() ? std::string() : found->second;
}

http_result http_request(const std::string& url, const std::string& body,
                         const http_options& options) {
  exchange call(url, body, options);
  call.finish(curl_easy_perform(call.curl));
  return call.result;
}

http_result http_post(const std::string& url, const std::string& body, const header_lines& headers,
                      long timeout_ms) {
  return http_request(url, body, post_options(headers, timeout_ms));
}

http_result http_get(const std::string& url, const header_lines& headers, long timeout_ms) {
  http_options options = post_options(headers, timeout_ms);
  options.method = "GET";
  return http_request(url, "", options);
}

std::shared_future<http_result> http_post_async(const std::string& url, const std::string& body,
                                                const header_lines& headers, long timeout_ms) {
  return std::async(std::launch::async, http_post, url, body, headers, timeout_ms).share();
}

bool ready_within(const std::shared_future<http_result>& call, int ms) {
  return call.wait_for(std::chrono::milliseconds(ms)) == std::future_status::ready;
}

std::vector<http_result> http_post_crowd(const std::string& url,
                                         const std::vector<std::string>& bodies,
                                         long timeout_ms) {
  CURLM* multi = curl_multi_init();
  curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, 0L);
  std::vector<std::unique_ptr<exchange>> calls;
  for (const auto& body : bodies) {
    calls.push_back(std::make_unique<exchange>(url, body, post_options({}, timeout_ms)));
    curl_easy_setopt(calls.back()->curl, CURLOPT_PRIVATE, calls.back().get());
    curl_multi_add_handle(multi, calls.back()->curl);
  }
  int running = 1;
  while (running > 0) {
    curl_multi_perform(multi, &running);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
      if (message->msg != CURLMSG_DONE) continue;
      exchange* call = nullptr;
      curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &call);
      call->finish(message->data.result);
    }
    if (running > 0) curl_multi_poll(multi, nullptr, 0, 100, nullptr);
  }
  std::vector<http_result> results;
  for (auto& call : calls) {
    curl_multi_remove_handle(multi, call->curl);
    results.push_back(call->result);
  }
  curl_multi_cleanup(multi);
  return results;
}

}  // namespace qeltest
