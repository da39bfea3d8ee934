// Reset, join and the fallback to one poller.
#include "poller_group.h"

#include <sys/random.h>

#include <cstdio>

#include "log_output.h"

namespace qelcs_remote {
namespace {

// How long the other pollers let the run's reset go ahead of their joins, so that the
// reset does not drop them (a dropped join is only answered empty and sent again).
constexpr std::chrono::milliseconds reset_lead(250);

std::string random_id() {
  unsigned long long value = 0;
  if (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value))
    value = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", value);
  return text;
}

}  // namespace

poller_group::poller_group(unsigned pollers) : pollers_(pollers), client_id_(random_id()) {}

std::optional<poll_kind> poller_group::try_empty_poll(unsigned poller, const std::atomic<bool>& stop) {
  if (no_join_.load()) return poll_kind::reset;  // a plain client resets on every empty poll
  if (poller == 0) return reset_done_.load() ? poll_kind::join : poll_kind::reset;
  std::lock_guard<std::mutex> lock(mutex_);
  if (stop.load() || reset_done_.load() ||
      (reset_started_ && std::chrono::steady_clock::now() >= reset_started_at_ + reset_lead))
    return poll_kind::join;
  return std::nullopt;
}

void poller_group::reset_started() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (reset_started_) return;
  reset_started_ = true;
  reset_started_at_ = std::chrono::steady_clock::now();
}

void poller_group::reset_delivered() { reset_done_.store(true); }

bool poller_group::join_refused() {
  if (joined_.load()) return false;
  if (!no_join_.exchange(true) && pollers_ > 1) {
    qel::tools::log_warning("the host does not know join polls (an older host); going on with a single poller");
  }
  return true;
}

}  // namespace qelcs_remote
