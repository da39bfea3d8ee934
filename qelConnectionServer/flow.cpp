#include "qelConnectionServer/flow.h"

#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelStatusCodes.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

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

void flow_generator::forget(const std::string& flow_id, const raw_transaction* transaction) {
  UD_ENTER("flow_generator::forget", "flow %s", flow_id.c_str());
  std::shared_ptr<raw_transaction> dropped;  // released after the lock
  {
    jsFastLock guard(lock);
    auto found = flows.find(flow_id);
    if (found != flows.end() && found->second.get() == transaction) {
      dropped = std::move(found->second);
      flows.erase(found);
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

std::size_t flow_generator::size() {
  jsFastLock guard(lock);
  return flows.size();
}

flow_generator& flows() {
  static flow_generator* const table = new flow_generator;
  return *table;
}

}  // namespace funneltunnel
}  // namespace qel
