#include "qelConnectionServer/transaction.h"

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
  UD_ENTER("raw_transaction::wait", "debug_count %d semaphore %p", debug_count.load(),
           static_cast<void*>(&semaphore));
  --debug_count;
  for (;;) {
    UD_TRACE(43000, "%s", "waiting...");
    const int rc = semaphore.wait();
    UD_TRACE(43000, "waitAndDecrement rc %u", static_cast<unsigned>(rc));
    if (rc == 0) break;  // an interrupted or failed wait is simply repeated
  }
  UD_TRACE(43000, "awake %p", static_cast<void*>(this));
  UD_EXIT("%s", "");
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
