#include "qelConnectionServer/post_transaction.h"

#include "qelConnectionServer/trace_text.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

post_transaction::~post_transaction() = default;

void post_transaction::debug_dump() {
  UD_ENTER("post_transaction::debug_dump", "%p", static_cast<void*>(this));
  raw_transaction::debug_dump();
  UD_TRACE(40000, "request_data %.*s", trace_len(request_data.text), request_data.text.data());
  UD_EXIT("%s", "");
}

}  // namespace funneltunnel
}  // namespace qel
