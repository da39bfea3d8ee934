// What a reload of qelcs-remote may change while polls run: the poll connection's TLS
// files, its forward proxy and the bearer token. The main thread replaces the values
// (SIGHUP); every poll connection reads them before each exchange and notices a change
// by the generation number. Shared (std::shared_ptr) by the options and the clients;
// any thread.
#ifndef QELCS_REMOTE_LIVE_SETTINGS_H
#define QELCS_REMOTE_LIVE_SETTINGS_H

#include <atomic>
#include <mutex>
#include <string>

#include "tls_options.h"

namespace qelcs_remote {

class live_settings {
 public:
  struct values {
    tls_options connection;  // its `live` field is not used
    std::string token;       // bearer token; empty: none
  };

  explicit live_settings(values initial) : values_(std::move(initial)) {}

  values current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return values_;
  }
  unsigned generation() const { return generation_.load(); }
  void replace(values next) {
    std::lock_guard<std::mutex> lock(mutex_);
    values_ = std::move(next);
    values_.connection.live.reset();
    ++generation_;
  }

 private:
  mutable std::mutex mutex_;
  values values_;
  std::atomic<unsigned> generation_{0};
};

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_LIVE_SETTINGS_H
