#include "scs/request_registry.h"

#include <utility>

namespace qel::scs {
namespace {

// One thread-local record: in a loaded library each thread-local costs a lookup.
struct Current {
  std::uint32_t id = 0;
  RequestExchange* exchange = nullptr;
};
thread_local Current t_current;

}  // namespace

CurrentRequest::CurrentRequest(std::uint32_t id, RequestExchange* exchange)
    : saved_id_(t_current.id), saved_(t_current.exchange) {
  t_current = Current{id, exchange};
}

CurrentRequest::~CurrentRequest() { t_current = Current{saved_id_, saved_}; }

RequestExchange* CurrentRequest::find(std::uint32_t id) {
  const Current& current = t_current;
  return id != 0 && id == current.id ? current.exchange : nullptr;
}

std::uint32_t RequestRegistry::add(std::shared_ptr<RequestExchange> exchange) {
  std::lock_guard<std::mutex> lock(mutex_);
  // After a wrap-around, skip 0 and ids still held by long-running callbacks.
  while (next_ == 0 || exchanges_.count(next_) != 0) ++next_;
  const std::uint32_t id = next_++;
  exchanges_.emplace(id, std::move(exchange));
  return id;
}

void RequestRegistry::remove(std::uint32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  exchanges_.erase(id);
}

std::shared_ptr<RequestExchange> RequestRegistry::find(std::uint32_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = exchanges_.find(id);
  return it == exchanges_.end() ? nullptr : it->second;
}

std::size_t RequestRegistry::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return exchanges_.size();
}

RequestRegistry& requests() {
  // Never destroyed: detached connection threads may still use it while the process exits.
  static RequestRegistry& instance = *new RequestRegistry;
  return instance;
}

}  // namespace qel::scs
