#include "scs/counted_log.h"

#include <vector>

#include "scs/log.h"

namespace qel::scs {

void CountedLog::count(const std::string& key, const Kind& kind, bool first_at_once,
                       const std::string& immediate) {
  bool write_now = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(key);
    if (it == entries_.end()) {
      it = entries_.emplace(key, Entry{kind, 0}).first;
      write_now = first_at_once;
    }
    if (!write_now) ++it->second.count;
  }
  if (write_now) log().write(kind.level, kind.function, "%.900s", immediate.c_str());
}

void CountedLog::flush(Clock::time_point now, bool force) {
  std::vector<Entry> due;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!force && now - last_flush_ < kInterval) return;
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(now - last_flush_).count();
    last_flush_ = now;
    for (auto& [key, entry] : entries_) {
      if (entry.count == 0) continue;
      due.push_back(entry);
      due.back().kind.after += " in the last " + std::to_string(seconds < 1 ? 1 : seconds) + " s";
    }
    // Kinds quiet for a whole interval are forgotten, so their next event is "first" again.
    entries_.clear();
  }
  for (const Entry& e : due) {
    log().write(e.kind.level, e.kind.function, "%.400s%llu%.500s", e.kind.before.c_str(),
                static_cast<unsigned long long>(e.count), e.kind.after.c_str());
  }
}

}  // namespace qel::scs
