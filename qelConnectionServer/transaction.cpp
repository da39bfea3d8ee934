#include "qelConnectionServer/transaction.h"

#include <algorithm>

#include "qelConnectionServer/flow.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/trace_text.h"
#include "qelStatusCodes.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

raw_transaction::raw_transaction() : semaphore(0, 256) {
  UD_ENTER("raw_transaction::raw_transaction", "%p", static_cast<void*>(this));
  UD_EXIT("%s", "");
}

raw_transaction::~raw_transaction() {
  UD_ENTER("raw_transaction::~raw_transaction", "%p", static_cast<void*>(this));
  UD_EXIT("%s", "");
}

void raw_transaction::set_header(const std::string& name, const std::string& value) {
  headers[name] = value;
}

std::string& raw_transaction::get_header(const std::string& name) { return headers[name]; }

std::string raw_transaction::find_header(const std::string& name) const {
  auto found = headers.find(name);
  return found == headers.end() ? std::string() : found->second;
}

void raw_transaction::complete() {
  UD_ENTER("raw_transaction::complete", "debug_count %d semaphore %p", debug_count.load(),
           static_cast<void*>(&semaphore));
  const int32_t count = ++debug_count;
  done.store(true);  // before the post: a waiter that wakes sees it
  if (on_complete != nullptr) {
    UD_EXIT("%s", "answered later");
    on_complete(*this);  // last: it may let this transaction go
    return;
  }
  const int rc = semaphore.increment(1) == 1 ? 0 : 1;
  UD_TRACE(43000, "rc %d debug_count %d semaphore %p", rc, count,
           static_cast<void*>(&semaphore));
  if (rc != 0) {
    UD_EXIT("%s", "post failed");
    throw funneltunnel_exception("unexpected semaphore error on increment",
                                 status::GENERAL_FAILURE);
  }
  UD_EXIT("%s", "");
}

void raw_transaction::wait() {
  while (wait_until(clock::time_point::max()) != wake::completed) {
  }
}

raw_transaction::wake raw_transaction::wait_until(clock::time_point deadline) {
  UD_ENTER("raw_transaction::wait", "debug_count %d semaphore %p", debug_count.load(),
           static_cast<void*>(&semaphore));
  --debug_count;
  wake result;
  for (;;) {
    UD_TRACE(43000, "%s", "waiting...");
    const int rc = wait_once(deadline);
    UD_TRACE(43000, "waitAndDecrement rc %u", static_cast<unsigned>(rc));
    if (done.load()) {  // a completion wins over an interruption or a time-out
      result = wake::completed;
      break;
    }
    if (rc == 0 && interrupted.load()) {
      result = wake::interrupted;
      break;
    }
    if (rc == 1 && clock::now() >= deadline) {
      result = wake::timed_out;
      break;
    }
    // an interrupted system call or a failed wait is simply repeated
  }
  UD_TRACE(43000, "awake %p", static_cast<void*>(this));
  UD_EXIT("%d", static_cast<int>(result));
  return result;
}

int raw_transaction::wait_once(clock::time_point deadline) {
  if (deadline == clock::time_point::max()) return semaphore.wait();
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
  if (left <= 0) return semaphore.tryWait();
  return semaphore.timedWait(static_cast<uint32_t>(std::min<long long>(left + 1, 3600000)));
}

void raw_transaction::interrupt() {
  if (interrupted.exchange(true)) return;  // one wake-up is enough
  semaphore.increment(1);
}

bool raw_transaction::claim() {
  if (taken.exchange(true)) return false;
  held.reset();
  return true;
}

bool raw_transaction::withdraw() {
  if (!claim()) return false;
  forget_flow();
  return true;
}

bool raw_transaction::note_flow(flow_generator& table, const std::string& id) {
  qelMutexLock guard(flow_mutex);
  flow_table = &table;
  flow_id = id;
  return taken.load();  // a claim before forget_flow()'s lock is seen here
}

void raw_transaction::forget_flow() {
  flow_generator* table;
  std::string id;
  {
    qelMutexLock guard(flow_mutex);
    table = flow_table;
    id = flow_id;
  }
  if (table != nullptr) table->forget(id, this);
}

void raw_transaction::debug_dump() {
  UD_ENTER("raw_transaction::debug_dump", "%p", static_cast<void*>(this));
  UD_TRACE(40000, "response_data %.*s", trace_len(response_data.text),
           response_data.text.data());
  UD_TRACE(40000, "status code %u", status_code);
  UD_TRACE(40000, "resource %s", resource.c_str());
  UD_TRACE(40000, "semaphore %p", static_cast<void*>(&semaphore));
  UD_TRACE(40000, "flow token %u", flow_token);
  for (const auto& header : headers) {
    UD_TRACE(40000, "header name %s value %s", header.first.c_str(), header.second.c_str());
  }
  UD_EXIT("%s", "");
}

}  // namespace funneltunnel
}  // namespace qel
