#include "qelConnectionServer/pending_answers.h"

#include <algorithm>
#include <chrono>

#include "mslLoader/mslLoader_qelSessionConfigSvcs.h"

namespace qel {
namespace funneltunnel {
namespace {

// How long a pending request goes without a watch on its client: most answers come
// sooner, which spares the watch's two system calls to every busy tunnel request.
constexpr std::chrono::milliseconds unwatched_wait{50};
// Timers that come due within this much of each other are served in one wake-up: at
// thousands of requests a second the thread then wakes some fifty times a second, not
// once a request. A deadline is met up to this much late.
constexpr std::chrono::milliseconds timer_slack{20};

}  // namespace

void pending_answers::add(const std::shared_ptr<post_transaction>& t) {
  std::lock_guard<std::mutex> lock(mutex);
  // An entry left under the same handle belongs to a request its listener has already
  // answered (a stop); its own completion will find this one and leave it alone.
  table[t->request_handle()] = entry{t, false};
}

void pending_answers::arm(const raw_transaction& t) {
  std::lock_guard<std::mutex> lock(mutex);
  const auto it = table.find(t.request_handle());
  if (it == table.end() || it->second.transaction.get() != &t) return;  // answered already
  if (!thread.joinable()) thread = std::thread(&pending_answers::run, this);
  const clock::time_point at = std::min(t.deadline(), clock::now() + unwatched_wait);
  const bool sooner = timers.empty() || at < timers.top().at;
  timers.push(timer{at, t.request_handle(), &t});
  if (sooner) changed.notify_one();
}

std::shared_ptr<post_transaction> pending_answers::find(uint32_t handle) {
  std::lock_guard<std::mutex> lock(mutex);
  const auto it = table.find(handle);
  return it == table.end() ? nullptr : it->second.transaction;
}

std::shared_ptr<post_transaction> pending_answers::take(const raw_transaction& t) {
  std::lock_guard<std::mutex> lock(mutex);
  const auto it = table.find(t.request_handle());
  if (it == table.end() || it->second.transaction.get() != &t) return nullptr;
  std::shared_ptr<post_transaction> taken = std::move(it->second.transaction);
  table.erase(it);
  return taken;
}

std::size_t pending_answers::size() const {
  std::lock_guard<std::mutex> lock(mutex);
  return table.size();
}

void pending_answers::close() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    closing = true;
  }
  changed.notify_all();
  if (thread.joinable()) thread.join();
  std::unordered_map<uint32_t, entry> dropped;  // let go outside the lock
  std::lock_guard<std::mutex> lock(mutex);
  dropped.swap(table);
  timers = {};
  thread = std::thread();
  closing = false;
}

void pending_answers::run() {
  std::vector<timer> batch;
  std::unique_lock<std::mutex> lock(mutex);
  while (!closing) {
    if (timers.empty()) {
      changed.wait(lock);
      continue;
    }
    const clock::time_point now = clock::now();
    if (now < timers.top().at + timer_slack) {
      changed.wait_until(lock, timers.top().at + timer_slack);
      continue;
    }
    batch.clear();
    for (; !timers.empty() && timers.top().at <= now; timers.pop()) batch.push_back(timers.top());
    lock.unlock();
    for (const timer& at : batch) due(at);
    lock.lock();
  }
}

// A request's first look or deadline has come: watch its client from now on, or
// withdraw it, unless its answer is being handed over.
void pending_answers::due(const timer& at) {
  std::shared_ptr<post_transaction> t;
  bool watched = false;
  {
    std::lock_guard<std::mutex> lock(mutex);
    const auto it = table.find(at.handle);
    if (it == table.end() || it->second.transaction.get() != at.transaction) return;
    t = it->second.transaction;
    watched = it->second.watched;
  }
  if (t->claimed()) return;
  const clock::time_point deadline = t->deadline();
  if (clock::now() >= deadline) {
    if (t->withdraw()) answer_withdrawn(*t, true);
    return;
  }
  if (!watched) {
    // The handle is the context: the watch names a request, whichever transaction
    // stands for it when its client goes.
    g_qelSessionConfigSvcs.SCS_SERVER_WatchRequest(at.handle, &later_client_gone,
                                                   reinterpret_cast<void*>(static_cast<uintptr_t>(at.handle)));
  }
  std::lock_guard<std::mutex> lock(mutex);
  const auto it = table.find(at.handle);
  if (it == table.end() || it->second.transaction.get() != at.transaction) return;
  it->second.watched = true;
  if (deadline != clock::time_point::max()) timers.push(timer{deadline, at.handle, at.transaction});
}

pending_answers& pending() {
  static pending_answers instance;
  return instance;
}

}  // namespace funneltunnel
}  // namespace qel
