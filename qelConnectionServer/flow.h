// flow_generator: the table that ties a caller request handed to the remote end of a
// reverse tunnel to the later answer naming its flow id.
//
// Beyond the plain table it remembers, for a while, the ids of flows whose caller gave
// up or that were answered (so that late answers and copies can be told from answers
// to unknown flows: take() says which; get_transaction() still refuses them), and a host
// may ask for ids that start at a random value, so that ids do not repeat across host
// processes and an answer meant for an earlier process is recognised as stale.
//
// Ownership: the table holds one reference to each stored transaction. There is one
// table in the process (flows()), shared by every tunnel; tests may make their own.
// Threads: every operation may be called from any thread; each holds the table's
// lock for its whole span. reset() completes transactions while holding it
// (completing only posts a semaphore and never takes this lock).
#ifndef QEL_FUNNELTUNNEL_FLOW_H
#define QEL_FUNNELTUNNEL_FLOW_H

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

#include "qelConnectionServer/transaction.h"
#include "qelToolsLib/jslock.h"

namespace qel {
namespace funneltunnel {

class flow_generator {
 public:
  using flow_map = std::map<std::string, std::shared_ptr<raw_transaction>>;
  using transactions = std::deque<std::shared_ptr<raw_transaction>>;

  // What take() found under an id.
  enum class lookup {
    found,      // a caller waiting for this answer
    withdrawn,  // its caller gave up (or was released) a short while ago
    answered,   // answered a short while ago (a copy of an answer sent twice)
    stale,      // an id this process never issued (random ids only): an earlier host's
    unknown,    // never issued, answered already, or released by a reset
  };

  flow_generator() = default;
  flow_generator(const flow_generator&) = delete;
  flow_generator& operator=(const flow_generator&) = delete;

  // "1", "2", ...: the decimal text of a counter raised under the lock (wraps to 0).
  std::string new_flow();
  // Stores the transaction under a new id and returns the id.
  std::string save_transaction(std::shared_ptr<raw_transaction> transaction);
  // Takes the transaction out; throws funneltunnel_exception "flow not found".
  std::shared_ptr<raw_transaction> get_transaction(const std::string& flow_id);
  // Takes the transaction out, or says why there is none (null then); never throws.
  std::shared_ptr<raw_transaction> take(const std::string& flow_id, lookup& why);
  // Removes the entry `flow_id` if it still holds `transaction` (a caller that gave up);
  // a late answer for it is then recognised as withdrawn.
  void forget(const std::string& flow_id, const raw_transaction* transaction);
  // Completes every stored transaction that nobody else has claimed, as it is, and
  // forgets them all.
  void reset();
  static void complete_transaction(flow_map::value_type& entry);
  // Takes out every stored transaction handed to `holder` (a remote client) that nobody
  // has claimed yet; the caller claims and completes them. Their ids count as withdrawn
  // from then on.
  transactions release_held_by(uint64_t holder);
  // The same for every stored transaction (a host that stops).
  transactions release_all();

  // From now on ids continue from a random value instead of 1. Call before the first id.
  void start_at_random();
  std::size_t size();

 private:
  template <class Predicate>
  transactions release_where(Predicate chosen);
  void remember(const std::string& flow_id, lookup why) QEL_REQUIRES(lock);
  bool issued_here(uint32_t value) const QEL_REQUIRES(lock);

  jsFastSync lock;
  flow_map flows QEL_GUARDED_BY(lock);
  uint32_t counter QEL_GUARDED_BY(lock) = 0;
  uint32_t first QEL_GUARDED_BY(lock) = 0;  // the counter before this table's first id
  bool random QEL_GUARDED_BY(lock) = false;
  // Ids recently withdrawn or answered, with which; bounded so that the memory stays small.
  std::unordered_map<std::string, lookup> recent QEL_GUARDED_BY(lock);
  std::deque<std::string> recent_order QEL_GUARDED_BY(lock);
};

// The process-wide table. Never destroyed, so request threads still running while the
// process exits never touch a destroyed table.
flow_generator& flows();

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_FLOW_H
