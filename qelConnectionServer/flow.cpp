#include "qelConnectionServer/flow.h"

#include <sys/random.h>

#include <chrono>

#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelStatusCodes.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {
namespace {

// How many recent ids are remembered: a late answer comes within seconds or minutes,
// and 16384 ids cost about a megabyte at most.
constexpr std::size_t recent_kept = 16384;

uint32_t random_start() {
  uint32_t value = 0;
  if (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {
    // No entropy source: the clock still differs from one start to the next.
    value = static_cast<uint32_t>(
        std::chrono::system_clock::now().time_since_epoch().count() * 2654435761u);
  }
  return value;
}

// The value of a decimal flow id, or false when it is none (empty, not digits, too big).
bool decimal_value(const std::string& flow_id, uint32_t& value) {
  if (flow_id.empty() || flow_id.size() > 10) return false;
  uint64_t n = 0;
  for (char c : flow_id) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + static_cast<uint64_t>(c - '0');
  }
  if (n > UINT32_MAX) return false;
  value = static_cast<uint32_t>(n);
  return true;
}

}  // namespace

std::string flow_generator::new_flow() {
  UD_ENTER("flow_generator::new_flow", "%s", "");
  uint32_t value;
  {
    jsFastLock guard(lock);
    value = ++counter;
  }
  std::string id = std::to_string(value);
  UD_EXIT("flow %s", id.c_str());
  return id;
}

std::string flow_generator::save_transaction(std::shared_ptr<raw_transaction> transaction) {
  UD_ENTER("flow_generator::save_transaction", "%p", static_cast<void*>(transaction.get()));
  std::string id = new_flow();  // its own locked step: the lock is not recursive
  {
    jsFastLock guard(lock);
    flows[id] = std::move(transaction);
  }
  UD_EXIT("flow %s", id.c_str());
  return id;
}

std::shared_ptr<raw_transaction> flow_generator::get_transaction(const std::string& flow_id) {
  UD_ENTER("flow_generator::get_transaction", "flow %s", flow_id.c_str());
  jsFastLock guard(lock);
  auto found = flows.find(flow_id);
  if (found == flows.end()) {
    UD_EXIT("%s", "flow not found");
    throw funneltunnel_exception("flow not found", status::GENERAL_FAILURE);
  }
  std::shared_ptr<raw_transaction> transaction = std::move(found->second);
  flows.erase(found);
  UD_EXIT("%p", static_cast<void*>(transaction.get()));
  return transaction;
}

std::shared_ptr<raw_transaction> flow_generator::take(const std::string& flow_id, lookup& why) {
  UD_ENTER("flow_generator::take", "flow %s", flow_id.c_str());
  std::shared_ptr<raw_transaction> transaction;
  {
    jsFastLock guard(lock);
    auto found = flows.find(flow_id);
    const auto seen = flows.end() == found ? recent.find(flow_id) : recent.end();
    if (found != flows.end()) {
      transaction = std::move(found->second);
      flows.erase(found);
      why = lookup::found;
      remember(flow_id, lookup::answered);
    } else if (seen != recent.end()) {
      why = seen->second;
    } else {
      uint32_t value = 0;
      const bool stale = random && decimal_value(flow_id, value) && !issued_here(value);
      why = stale ? lookup::stale : lookup::unknown;
    }
  }
  UD_EXIT("lookup %d", static_cast<int>(why));
  return transaction;
}

void flow_generator::forget(const std::string& flow_id, const raw_transaction* transaction) {
  UD_ENTER("flow_generator::forget", "flow %s", flow_id.c_str());
  std::shared_ptr<raw_transaction> dropped;  // released after the lock
  {
    jsFastLock guard(lock);
    auto found = flows.find(flow_id);
    if (found != flows.end() && found->second.get() == transaction) {
      dropped = std::move(found->second);
      flows.erase(found);
      remember(flow_id, lookup::withdrawn);
    }
  }
  UD_EXIT("%d", dropped ? 1 : 0);
}

void flow_generator::reset() {
  UD_ENTER("flow_generator::reset", "%s", "");
  jsFastLock guard(lock);
  UD_TRACE(40000, "completing %zu flows", flows.size());
  for (auto& entry : flows) complete_transaction(entry);
  flows.clear();
  UD_EXIT("%s", "");
}

void flow_generator::complete_transaction(flow_map::value_type& entry) {
  UD_ENTER("flow_generator::complete_transaction", "flow %s", entry.first.c_str());
  if (entry.second->claim()) entry.second->complete();  // else its caller has given up
  UD_EXIT("%s", "");
}

template <class Predicate>
flow_generator::transactions flow_generator::release_where(Predicate chosen) {
  transactions released;
  {
    jsFastLock guard(lock);
    for (auto it = flows.begin(); it != flows.end();) {
      if (!chosen(*it->second)) {
        ++it;
        continue;
      }
      if (!it->second->claimed()) released.push_back(it->second);  // else being settled
      remember(it->first, lookup::withdrawn);
      it = flows.erase(it);
    }
  }
  return released;
}

flow_generator::transactions flow_generator::release_held_by(uint64_t holder) {
  UD_ENTER("flow_generator::release_held_by", "client %llu", static_cast<unsigned long long>(holder));
  transactions released = release_where([&](const raw_transaction& t) { return t.holder() == holder; });
  UD_EXIT("%zu released", released.size());
  return released;
}

flow_generator::transactions flow_generator::release_all() {
  UD_ENTER("flow_generator::release_all", "%s", "");
  transactions released = release_where([](const raw_transaction&) { return true; });
  UD_EXIT("%zu released", released.size());
  return released;
}

void flow_generator::start_at_random() {
  jsFastLock guard(lock);
  random = true;
  counter = first = random_start();
}

std::size_t flow_generator::size() {
  jsFastLock guard(lock);
  return flows.size();
}

void flow_generator::remember(const std::string& flow_id, lookup why) {
  if (!recent.emplace(flow_id, why).second) return;
  recent_order.push_back(flow_id);
  if (recent_order.size() <= recent_kept) return;
  recent.erase(recent_order.front());
  recent_order.pop_front();
}

// Ids first+1 .. counter, in 32-bit arithmetic, came from this table.
bool flow_generator::issued_here(uint32_t value) const {
  return static_cast<uint32_t>(value - first - 1) < static_cast<uint32_t>(counter - first);
}

flow_generator& flows() {
  static flow_generator* const table = new flow_generator;
  return *table;
}

}  // namespace funneltunnel
}  // namespace qel
