// raw_transaction: one HTTP exchange as the core sees it (resource, request headers,
// response body, status and headers) plus its completion handshake.
//
// Ownership: created by the POST callback and held through std::shared_ptr by the
// callback, queues, the flow table and processors; the last holder destroys it.
// Threads: there is no lock. The thread that currently holds the transaction outside
// every queue and table writes its fields; the completing thread writes the response
// side and then calls complete(); the one waiting thread (the request's callback)
// reads the response only after wait() returns. The semaphore orders the two.
#ifndef QEL_FUNNELTUNNEL_TRANSACTION_H
#define QEL_FUNNELTUNNEL_TRANSACTION_H

#include <atomic>
#include <cstdint>
#include <map>
#include <string>

#include "qelConnectionServer/filestring.h"
#include "qelToolsLib/jssemaphore.h"

namespace qel {
namespace funneltunnel {

class raw_transaction {
 public:
  using header_map = std::map<std::string, std::string>;

  raw_transaction();
  virtual ~raw_transaction();
  raw_transaction(const raw_transaction&) = delete;
  raw_transaction& operator=(const raw_transaction&) = delete;

  uint32_t get_status_code() const { return status_code; }
  void set_status_code(uint32_t code) { status_code = code; }
  const std::string& get_resource() const { return resource; }
  void set_resource(const std::string& path) { resource = path; }

  // One value per name; names are case-sensitive.
  void set_header(const std::string& name, const std::string& value);
  // An absent name is added with an empty value, which is returned.
  std::string& get_header(const std::string& name);
  // Reads without adding: empty when absent. Safe for readers that must not write.
  std::string find_header(const std::string& name) const;
  const header_map& all_headers() const { return headers; }
  void clear_headers() { headers.clear(); }

  // Signals completion once; throws funneltunnel_exception when the post fails.
  void complete();
  // Blocks until a complete() has been signalled; consumes one.
  void wait();
  // Kept for the interface; a transaction has nothing to reset.
  void reset() {}

  virtual void debug_dump();

  filestring response_data;

 private:
  uint32_t status_code = 503;
  header_map headers;
  std::string resource;
  jsSemaphore semaphore;
  uint32_t flow_token = 0;
  std::atomic<int32_t> debug_count{0};  // complete() and wait() run on two threads
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_TRANSACTION_H
