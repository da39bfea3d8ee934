// flow_generator: the table that ties a caller request handed to the remote end of a
// reverse tunnel to the later answer naming its flow id.
//
// Ownership: the table holds one reference to each stored transaction. There is one
// table in the process (flows()), shared by every tunnel; tests may make their own.
// Threads: every operation may be called from any thread; each holds the table's
// lock for its whole span. reset() completes transactions while holding it
// (completing only posts a semaphore and never takes this lock).
#ifndef QEL_FUNNELTUNNEL_FLOW_H
#define QEL_FUNNELTUNNEL_FLOW_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "qelConnectionServer/transaction.h"
#include "qelToolsLib/jslock.h"

namespace qel {
namespace funneltunnel {

class flow_generator {
 public:
  using flow_map = std::map<std::string, std::shared_ptr<raw_transaction>>;

  flow_generator() = default;
  flow_generator(const flow_generator&) = delete;
  flow_generator& operator=(const flow_generator&) = delete;

  // "1", "2", ...: the decimal text of a counter raised under the lock (wraps to 0).
  std::string new_flow();
  // Stores the transaction under a new id and returns the id.
  std::string save_transaction(std::shared_ptr<raw_transaction> transaction);
  // Takes the transaction out; throws funneltunnel_exception "flow not found".
  std::shared_ptr<raw_transaction> get_transaction(const std::string& flow_id);
  // Removes the entry `flow_id` if it still holds `transaction` (a caller that gave up).
  void forget(const std::string& flow_id, const raw_transaction* transaction);
  // Completes every stored transaction that nobody else has claimed, as it is, and
  // forgets them all.
  void reset();
  static void complete_transaction(flow_map::value_type& entry);

  std::size_t size();

 private:
  jsFastSync lock;
  flow_map flows QEL_GUARDED_BY(lock);
  uint32_t counter QEL_GUARDED_BY(lock) = 0;
};

// The process-wide table. Never destroyed, so request threads still running while the
// process exits never touch a destroyed table.
flow_generator& flows();

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_FLOW_H
