// curl multi load driver with latency percentiles.
#include "tunnel_load.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>

namespace tunnel_bench {

namespace {

using clock_type = std::chrono::steady_clock;

constexpr int kOpenBatch = 200;

size_t discard(char*, size_t size, size_t count, void*) { return size * count; }

// One reusable easy handle and the start time of its current request.
struct slot {
  CURL* curl = curl_easy_init();
  curl_slist* headers = curl_slist_append(curl_slist_append(nullptr, "Expect:"),
                                          "Content-Type: text/plain");
  clock_type::time_point started;

  slot(const std::string& url, const std::string& body, long timeout_ms) {
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeout_ms);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(curl, CURLOPT_PRIVATE, this);
  }
  ~slot() {
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
  }
  slot(const slot&) = delete;
  slot& operator=(const slot&) = delete;
};

double elapsed_ms(clock_type::time_point since) {
  return std::chrono::duration<double, std::milli>(clock_type::now() - since).count();
}

void record(load_result& result, slot& done, CURLcode code, long expected) {
  long status = 0;
  curl_easy_getinfo(done.curl, CURLINFO_RESPONSE_CODE, &status);
  if (code == CURLE_OK && status == expected) {
    ++result.answered;
    result.latencies_ms.push_back(elapsed_ms(done.started));
  } else {
    ++result.failed;
  }
}

}  // namespace

double load_result::percentile(double p) const {
  if (latencies_ms.empty()) return 0;
  const double rank = std::ceil(p / 100.0 * static_cast<double>(latencies_ms.size()));
  const size_t index = static_cast<size_t>(std::max(1.0, rank)) - 1;
  return latencies_ms[std::min(index, latencies_ms.size() - 1)];
}

load_result run_load(const std::string& url, const std::string& body, int count, int in_flight,
                     long expected, long timeout_ms) {
  load_result result;
  CURLM* multi = curl_multi_init();
  std::vector<std::unique_ptr<slot>> slots;
  const auto begin = clock_type::now();
  auto start_on = [&](slot& s) {
    s.started = clock_type::now();
    curl_multi_add_handle(multi, s.curl);
    ++result.sent;
  };
  // Many requests in flight are started a batch at a time, so that each is sent soon
  // after its connection is made, as separate clients would send it; all at once, one
  // curl multi handle takes seconds to get from the last connect to the first send.
  const int opening = std::min(count, in_flight);
  const auto open_more = [&] {
    const int until = std::min<int>(opening, static_cast<int>(slots.size()) + kOpenBatch);
    while (static_cast<int>(slots.size()) < until) {
      slots.push_back(std::make_unique<slot>(url, body, timeout_ms));
      start_on(*slots.back());
    }
  };
  int running = 1;
  while (running > 0 || result.sent < count) {
    open_more();
    curl_multi_perform(multi, &running);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
      if (message->msg != CURLMSG_DONE) continue;
      slot* done = nullptr;
      curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &done);
      const CURLcode code = message->data.result;
      curl_multi_remove_handle(multi, done->curl);
      record(result, *done, code, expected);
      if (result.sent < count) start_on(*done);
    }
    curl_multi_poll(multi, nullptr, 0, 50, nullptr);
  }
  result.seconds = std::chrono::duration<double>(clock_type::now() - begin).count();
  slots.clear();
  curl_multi_cleanup(multi);
  std::sort(result.latencies_ms.begin(), result.latencies_ms.end());
  return result;
}

}  // namespace tunnel_bench
