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
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "qelConnectionServer/filestring.h"
#include "qelToolsLib/jssemaphore.h"
#include "qelToolsLib/qelHeaderBlock.h"
#include "qelToolsLib/qelMutex.h"

namespace qel {
namespace funneltunnel {

class flow_generator;

class raw_transaction {
 public:
  using header_map = std::map<std::string, std::string>;
  using clock = std::chrono::steady_clock;
  enum class wake { completed, interrupted, timed_out };

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

  // Signals completion once; throws funneltunnel_exception when the post fails. A
  // transaction answered later calls its completion instead, as the last thing it does
  // (the completion may let the transaction go).
  void complete();
  // For a request whose callback has returned (pending_answers.h): complete() calls
  // `completion` with this transaction instead of waking a waiting thread. Set before
  // the transaction is shared.
  void complete_with(void (*completion)(raw_transaction&)) { on_complete = completion; }
  // Blocks until a complete() has been signalled; consumes one.
  void wait();
  // Kept for the interface; a transaction has nothing to reset.
  void reset() {}

  // The waiting side. wait_until() returns once complete() has been signalled
  // (completed), interrupt() has been called (interrupted: the client went away) or
  // `deadline` has passed (timed_out); clock::time_point::max() waits without limit.
  // interrupt() may be called from any thread, once or more.
  wake wait_until(clock::time_point deadline);
  void interrupt();
  bool completed() const { return done.load(); }

  // The one party that settles a transaction waiting in the tunnel (answers, releases
  // or withdraws it) claims it first: true for the first claim only. Claiming lets go
  // of what hold_until_claimed() was given.
  bool claim();
  bool claimed() const { return taken.load(); }
  // For the waiting thread of a transaction whose client gave up: claims it and takes
  // it out of the flow table if it is out there. False when somebody else claimed it
  // first (its completion follows).
  bool withdraw();
  // Keeps `token` alive until the transaction is claimed or destroyed (a place among
  // the waiting callers). Set before the transaction is shared.
  void hold_until_claimed(std::shared_ptr<void> token) { held = std::move(token); }

  // While out with the remote client: the table and id it is stored under. Returns
  // claimed() as seen under the note's lock: when true, the claimer may have missed
  // the note, so the caller takes the entry out again (forget_flow()).
  bool note_flow(flow_generator& table, const std::string& id);
  // Takes it out of the table noted last, if it is still there.
  void forget_flow();

  // The request carried X-QEL-Message-Id or X-QEL-Status-Code more than once.
  bool duplicate_tunnel_header() const { return doubled_header; }
  void mark_duplicate_tunnel_header() { doubled_header = true; }

  // When the waiting caller gives up (max(): never). Set by the processor, read by the
  // waiting thread after process() returns.
  clock::time_point deadline() const { return give_up_at; }
  void set_deadline(clock::time_point when) { give_up_at = when; }

  // The declared remote client a caller request was handed to (its serial; 0: none). Written by
  // the thread that hands the request out, before the flow table publishes it.
  uint64_t holder() const { return held_by; }
  void set_holder(uint64_t client) { held_by = client; }

  // The request's method ("POST" unless the resource takes any request) and, for the
  // length of its callback, the service library's handle of it.
  const std::string& method() const { return request_method; }
  void set_method(const std::string& name) { request_method = name; }
  uint32_t request_handle() const { return handle; }
  void set_request_handle(uint32_t value) { handle = value; }

  virtual void debug_dump();

  filestring response_data;
  // Headers beyond the known ones, for the tunnel's extensions only: the request's are
  // read when it names a remote client (see extension_headers.h), the response's are sent
  // after the known headers. A peer that uses no extension never sees either.
  header_map request_extensions;
  header_map response_extensions;
  // The any-request extension's parts of a caller's exchange (any_request.h): the
  // request-target and end-to-end headers it carries, and whether its reply is the
  // remote side's headers (in order, repeats kept) instead of the plain echo.
  struct carried_parts {
    std::string target;
    std::string headers;  // a header block; empty: none
    bool reply_carried = false;
    qelToolsLib::HeaderLines reply_headers;
    bool accepts_any = false;  // a poll that declared it takes carried requests
    // Every request header, when the callback could read them all at once.
    bool have_all_headers = false;
    qelToolsLib::HeaderLines all_headers;
  } carried;

 private:
  int wait_once(clock::time_point deadline);

  uint32_t status_code = 503;
  header_map headers;
  std::string resource;
  jsSemaphore semaphore;
  uint32_t flow_token = 0;
  std::atomic<int32_t> debug_count{0};  // complete() and wait() run on two threads
  std::atomic<bool> done{false};
  std::atomic<bool> interrupted{false};
  std::atomic<bool> taken{false};
  std::shared_ptr<void> held;
  clock::time_point give_up_at = clock::time_point::max();
  bool doubled_header = false;
  uint64_t held_by = 0;
  std::string request_method = "POST";
  uint32_t handle = 0;
  void (*on_complete)(raw_transaction&) = nullptr;
  qelMutex flow_mutex;  // the flow note is written and read on two threads
  flow_generator* flow_table QEL_GUARDED_BY(flow_mutex) = nullptr;
  std::string flow_id QEL_GUARDED_BY(flow_mutex);
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_TRANSACTION_H
