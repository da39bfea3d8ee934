#include "qelConnectionServer/remote_clients.h"

namespace qel {
namespace funneltunnel {

// Lets go of one open poll when destroyed.
class open_poll {
 public:
  open_poll(std::weak_ptr<remote_clients> clients, uint64_t serial)
      : clients(std::move(clients)), serial(serial) {}
  ~open_poll() {
    if (auto registry = clients.lock()) registry->poll_ended(serial);
  }
  open_poll(const open_poll&) = delete;
  open_poll& operator=(const open_poll&) = delete;

 private:
  const std::weak_ptr<remote_clients> clients;
  const uint64_t serial;
};

uint64_t remote_clients::arrived(const std::string& id, std::shared_ptr<void>& open) {
  std::shared_ptr<client> record;
  {
    std::lock_guard<std::mutex> guard(mutex);
    auto& slot = by_id[id];
    if (!slot) {
      slot = std::make_shared<client>();
      slot->id = id;
      slot->serial = next_serial++;
      by_serial[slot->serial] = slot;
    }
    record = slot;
    ++record->open_polls;
    record->last_seen = clock::now();
  }
  open = std::make_shared<open_poll>(weak_from_this(), record->serial);
  return record->serial;
}

void remote_clients::poll_ended(uint64_t serial) {
  std::lock_guard<std::mutex> guard(mutex);
  auto found = by_serial.find(serial);
  if (found == by_serial.end()) return;  // forgotten meanwhile
  if (found->second->open_polls > 0) --found->second->open_polls;
  found->second->last_seen = clock::now();
}

void remote_clients::stopping(uint64_t serial) {
  std::lock_guard<std::mutex> guard(mutex);
  auto found = by_serial.find(serial);
  if (found != by_serial.end()) found->second->stopping = true;
}

bool remote_clients::is_stopping(uint64_t serial) const {
  std::lock_guard<std::mutex> guard(mutex);
  auto found = by_serial.find(serial);
  return found != by_serial.end() && found->second->stopping;
}

std::vector<uint64_t> remote_clients::gone(clock::time_point now, clock::duration grace) {
  std::vector<uint64_t> result;
  std::lock_guard<std::mutex> guard(mutex);
  for (auto it = by_serial.begin(); it != by_serial.end();) {
    const client& c = *it->second;
    if (c.open_polls != 0 || now - c.last_seen <= grace) {
      ++it;
      continue;
    }
    result.push_back(c.serial);
    by_id.erase(c.id);
    it = by_serial.erase(it);
  }
  return result;
}

std::size_t remote_clients::size() const {
  std::lock_guard<std::mutex> guard(mutex);
  return by_serial.size();
}

}  // namespace funneltunnel
}  // namespace qel
