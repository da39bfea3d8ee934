#include "scs/request_registry.h"

#include <utility>

namespace qel::scs {
namespace {

thread_local std::uint32_t t_current_id = 0;
thread_local RequestExchange* t_current = nullptr;

}  // namespace

CurrentRequest::CurrentRequest(std::uint32_t id, RequestExchange* exchange)
    : saved_id_(t_current_id), saved_(t_current) {
  t_current_id = id;
  t_current = exchange;
}

CurrentRequest::~CurrentRequest() {
  t_current_id = saved_id_;
  t_current = saved_;
}

RequestExchange* CurrentRequest::find(std::uint32_t id) {
  return id != 0 && id == t_current_id ? t_current : nullptr;
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
