// Request handles: 32-bit ids that name a RequestExchange while its callback runs.
//
// The request handler adds an exchange before calling the callback and removes it when
// the callback returns; the exported header and status functions look ids up from any
// thread. One mutex guards the map; ids are never 0 and never reused while in use.
// A callback mostly asks about its own request, on its own thread: CurrentRequest
// names that one for the thread, found without the lock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "scs/request_exchange.h"

namespace qel::scs {

class RequestRegistry {
 public:
  std::uint32_t add(std::shared_ptr<RequestExchange> exchange);
  void remove(std::uint32_t id);
  // Null when the id names no running callback.
  std::shared_ptr<RequestExchange> find(std::uint32_t id) const;
  std::size_t size() const;

 private:
  mutable std::mutex mutex_;
  std::unordered_map<std::uint32_t, std::shared_ptr<RequestExchange>> exchanges_;
  std::uint32_t next_ = 1;
};

// The process-wide registry.
RequestRegistry& requests();

// Marks `exchange` as the request of the callback running on this thread, for the
// lifetime of the scope.
class CurrentRequest {
 public:
  CurrentRequest(std::uint32_t id, RequestExchange* exchange);
  ~CurrentRequest();
  CurrentRequest(const CurrentRequest&) = delete;
  CurrentRequest& operator=(const CurrentRequest&) = delete;
  // The exchange when `id` names the request of this thread's running callback, else
  // null.
  static RequestExchange* find(std::uint32_t id);

 private:
  std::uint32_t saved_id_;
  RequestExchange* saved_;
};

}  // namespace qel::scs
