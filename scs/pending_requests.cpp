#include "scs/pending_requests.h"

#include <utility>
#include <vector>

#include "scs/connection_watch.h"
#include "scs/request_registry.h"

namespace qel::scs {

template <typename Done>
void PendingRequests::wait_changed(std::unique_lock<std::mutex>& lock, Done done) {
  ++changed_waiters_;
  changed_.wait(lock, done);
  --changed_waiters_;
}

bool PendingRequests::begin(std::uint32_t id, Entry entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_.count(entry.owner) != 0) return false;
  if (entry.metrics != nullptr) entry.metrics->callback_started();
  slots_[id].entry = std::move(entry);
  return true;
}

PendingRequests::Slot* PendingRequests::settled_slot(std::unique_lock<std::mutex>& lock,
                                                     std::uint32_t id) {
  wait_changed(lock, [&] { return slots_.count(id) == 0 || !slots_.at(id).completing; });
  const auto it = slots_.find(id);
  return it == slots_.end() ? nullptr : &it->second;
}

bool PendingRequests::cancel(std::uint32_t id) {
  std::unique_lock<std::mutex> lock(mutex_);
  Slot* slot = settled_slot(lock, id);
  if (slot == nullptr) return false;
  if (slot->entry.metrics != nullptr) slot->entry.metrics->callback_ended();
  slots_.erase(id);
  return true;
}

bool PendingRequests::suspend_unless_completed(std::uint32_t id) {
  std::unique_lock<std::mutex> lock(mutex_);
  Slot* slot = settled_slot(lock, id);
  if (slot == nullptr) return true;
  // Under the lock, so that complete() resumes only a connection that is suspended.
  MHD_suspend_connection(slot->entry.connection);
  slot->suspended = true;
  return false;
}

void PendingRequests::wait(std::uint32_t id) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto it = slots_.find(id);
  if (it == slots_.end()) return;
  std::condition_variable& wake = *it->second.entry.wake;
  wake.wait(lock, [&] { return slots_.count(id) == 0; });
}

bool PendingRequests::complete(std::uint32_t id, PendingOutcome outcome) {
  std::shared_ptr<RequestExchange> exchange;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = slots_.find(id);
    if (it == slots_.end() || it->second.completing) return false;
    it->second.completing = true;
    exchange = it->second.entry.exchange;
  }
  // Outside the lock: unwatch() waits for a running `gone`, which may itself be
  // completing another request. Unwatched before the connection can close.
  if (exchange) exchange->close();
  watches().unwatch(id);
  requests().remove(id);
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = slots_.find(id);
  const Slot slot = std::move(it->second);
  slots_.erase(it);
  *slot.entry.outcome = outcome;
  if (slot.entry.metrics != nullptr) slot.entry.metrics->callback_ended();
  if (changed_waiters_ != 0) changed_.notify_all();
  if (slot.suspended) {
    // Last: once resumed, a worker may answer and free the request's state.
    slot.entry.done->store(true, std::memory_order_release);
    MHD_resume_connection(slot.entry.connection);
  } else if (slot.entry.wake != nullptr) {
    // Under the lock: the thread it wakes cannot go on (and free it) before we return.
    slot.entry.wake->notify_one();
  }
  return true;
}

void PendingRequests::end_all(const void* owner, std::chrono::milliseconds answers_leave) {
  const auto until = std::chrono::steady_clock::now() + answers_leave;
  std::vector<std::uint32_t> ids;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_.insert(owner);
    for (const auto& [id, slot] : slots_)
      if (slot.entry.owner == owner) ids.push_back(id);
  }
  PendingOutcome stopped;
  stopped.stopped = true;
  for (const std::uint32_t id : ids) {
    // Counted first: the request may end before complete() returns.
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++answering_[owner];
    }
    if (!complete(id, stopped)) stop_answered(owner);
  }
  std::unique_lock<std::mutex> lock(mutex_);
  wait_changed(lock, [&] {
    for (const auto& [id, slot] : slots_)
      if (slot.entry.owner == owner) return false;
    return true;
  });
  // The connections write their 503s on their own threads; the daemon must not close
  // them first. Bounded, like a graceful stop's wait for answers under way.
  ++changed_waiters_;
  changed_.wait_until(lock, until, [&] { return answering_[owner] == 0; });
  --changed_waiters_;
  answering_.erase(owner);
}

void PendingRequests::stop_answered(const void* owner) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = answering_.find(owner);
  if (it == answering_.end() || it->second == 0) return;
  --it->second;
  if (changed_waiters_ != 0) changed_.notify_all();
}

void PendingRequests::allow(const void* owner) {
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_.erase(owner);
}

PendingRequests& pending_requests() {
  static PendingRequests& instance = *new PendingRequests;  // completions may outlive exit
  return instance;
}

}  // namespace qel::scs
