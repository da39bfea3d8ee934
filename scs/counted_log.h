// Log lines for events that can come by the thousand (refused connections, slow clients
// ended, messages of libmicrohttpd): each kind of event is counted, and flush() writes
// one line per kind that happened since the last flush, with its count, so a flood
// costs a bounded number of lines. A kind may also ask for its first event to be
// written at once (a message the operator should see without waiting).
//
// Owned by an HttpDaemon; count() from any thread (connection threads, the accept
// thread), flush() from the daemon's ticker and when it stops.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace qel::scs {

class CountedLog {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::seconds kInterval{10};

  // `function` names the log line's origin. The flushed line is
  // `<before><count><after> in the last N s`; `first_at_once` writes `immediate` when
  // the kind was quiet since the last flush, and counts only the repeats.
  struct Kind {
    std::uint32_t level;
    const char* function;
    std::string before, after;
  };

  void count(const std::string& key, const Kind& kind, bool first_at_once = false,
             const std::string& immediate = std::string());
  // Writes the lines of the kinds counted since the last flush, if an interval has
  // passed since then (or always with `force`).
  void flush(Clock::time_point now, bool force = false);

 private:
  struct Entry {
    Kind kind;
    std::uint64_t count = 0;
  };
  std::mutex mutex_;
  std::map<std::string, Entry> entries_;
  Clock::time_point last_flush_ = Clock::now();
};

}  // namespace qel::scs
