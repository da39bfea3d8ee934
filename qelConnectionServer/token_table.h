// token_table: the registration tokens handed to the HTTP service library. A token is
// an id (never an address) that designates a POST processor; an endpoint revokes its
// ids before its processors are destroyed, so a late request for a replaced endpoint
// gets a clean error instead of reaching freed memory.
//
// Ownership: the table does not own processors. Threads: any thread. dispatch() keeps
// the entry busy while process() runs; revoke() waits until no call is running, so
// after revoke() returns the processor is never entered again. A processor must not
// revoke its own token from inside process().
#ifndef QEL_FUNNELTUNNEL_TOKEN_TABLE_H
#define QEL_FUNNELTUNNEL_TOKEN_TABLE_H

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "qelConnectionServer/admission.h"
#include "qelConnectionServer/post_transaction.h"
#include "qelConnectionServer/processor.h"
#include "qelToolsLib/qelMutex.h"

namespace qel {
namespace funneltunnel {

class token_table {
 public:
  using post_processor = processor<post_transaction>;

  token_table() = default;
  token_table(const token_table&) = delete;
  token_table& operator=(const token_table&) = delete;

  // A new nonzero id for `target`, with the admission check of its resource (or null).
  uint32_t add(post_processor* target, admission* check = nullptr);
  // Forgets the id; returns once no process() call through it is running.
  void revoke(uint32_t token);
  // Runs target->process(transaction); throws funneltunnel_exception with
  // status CS_TOKEN_REVOKED when the id is unknown or revoked.
  void dispatch(uint32_t token, std::shared_ptr<post_transaction> transaction);
  // Runs the id's admission check; 0 (go on) when it has none. Throws as dispatch().
  uint32_t admit(uint32_t token, std::string& text);

  std::size_t size();

 private:
  struct entry {
    post_processor* target;
    admission* check;
    uint32_t running;
  };
  // The entry's target and check, read under the lock (target null when the id is
  // unknown or revoked); else the entry stays busy until leave().
  entry enter(uint32_t token) QEL_EXCLUDES(mutex);
  void leave(uint32_t token) QEL_EXCLUDES(mutex);
  bool idle_or_gone(uint32_t token) QEL_REQUIRES(mutex);

  qelMutex mutex;
  std::condition_variable_any idle;
  std::unordered_map<uint32_t, entry> entries QEL_GUARDED_BY(mutex);
  uint32_t last_id QEL_GUARDED_BY(mutex) = 0;
};

// The process-wide table used by endpoints and the POST callback; never destroyed.
token_table& tokens();

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_TOKEN_TABLE_H
