#include "qelConnectionServer/reverse_connection_endpoint.h"

#include <cctype>
#include <limits>

#include "qelConnectionServer/any_request.h"
#include "qelConnectionServer/extension_headers.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/known_headers.h"
#include "qelConnectionServer/reverse_funnel.h"
#include "qelConnectionServer/tunnel_counters.h"
#include "qelStatusCodes.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

uint32_t answer_status(const std::string& status_header) {
  std::size_t at = 0;
  while (at < status_header.size() && std::isspace(static_cast<unsigned char>(status_header[at])))
    ++at;
  uint64_t value = 0;
  std::size_t digits = 0;
  for (; at < status_header.size() && std::isdigit(static_cast<unsigned char>(status_header[at])); ++at) {
    if (++digits > 4) return 502;  // far beyond any status
    value = value * 10 + static_cast<uint64_t>(status_header[at] - '0');
  }
  // No readable status, an interim (1xx) one or none that HTTP knows: the remote side
  // failed to answer properly.
  if (digits == 0 || value < 200 || value > 599) return 502;
  return static_cast<uint32_t>(value);
}

reverse_connection_endpoint::reverse_connection_endpoint(reverse_funnel& funnel)
    : endpoint(std::make_unique<rce::get_processor>(), std::make_unique<rce::post_processor>(*this)),
      funnel(funnel) {}

reverse_connection_endpoint::~reverse_connection_endpoint() = default;

namespace rce {

void post_processor::process(std::shared_ptr<post_transaction> poll) {
  UD_ENTER("rce::post_processor::process", "%p", static_cast<void*>(poll.get()));
  if (poll->duplicate_tunnel_header()) {
    refuse_ambiguous(*poll);
    UD_EXIT("%s", "refused: a tunnel header appears twice");
    return;
  }
  reverse_funnel& funnel = owner.funnel;
  const uint64_t client = funnel.clients().admit(*poll);  // 0: a plain poll
  const auto kind = client != 0 ? declared_clients::kind_of(*poll) : declared_clients::poll_kind::ordinary;
  if (kind == declared_clients::poll_kind::presence) {
    UD_TRACE(40000, "%s", "presence poll parked");
    poll->clear_headers();  // its "join" must never come back as if it were a flow id
    funnel.clients().park_presence(poll);
    UD_EXIT("%s", "");
    return;
  }
  if (kind == declared_clients::poll_kind::final) funnel.client_stopping(client);
  const std::string flow_id = poll->find_header(header_message_id);
  if (flow_id.empty()) {
    UD_TRACE(40000, "%s", "Tunnel reset by remote client");
    funnel.reset_tunnel();
  } else if (flow_id == join_poll) {
    UD_TRACE(40000, "%s", "Poll joins the tunnel");
    poll->set_header(header_message_id, "");  // never echoed back as if it were a flow id
    funnel.note_join();
  } else {
    answer(*poll, flow_id, client != 0);  // "flow not found" leaves here: the poll is not parked
  }
  funnel.serve_poll(UD_BLOCK, poll);
  UD_EXIT("%s", "");
}

// Which copy of a doubled X-QEL-Message-Id or X-QEL-Status-Code counts is a guess a
// proxy may make differently: refuse the poll rather than complete the wrong caller.
void post_processor::refuse_ambiguous(post_transaction& poll) {
  poll.clear_headers();
  poll.claim();
  poll.set_status_code(400);
  poll.set_header(header_content_type, "text/plain");
  poll.response_data = filestring::literal("qel: the poll carries X-QEL-Message-Id or X-QEL-Status-Code twice\n");
  poll.complete();
}

void post_processor::answer(post_transaction& poll, const std::string& flow_id, bool declared) {
  UD_ENTER("rce::post_processor::answer", "flow %s", flow_id.c_str());
  const uint32_t status = answer_status(poll.find_header(header_status_code));
  const std::string answer_type = poll.find_header(header_content_type);
  poll.clear_headers();  // none of the answer's headers go back to the remote client
  const auto instance = poll.request_extensions.find(header_instance);
  if (declared && instance != poll.request_extensions.end() && instance->second != host_instance()) {
    drop(UD_BLOCK, poll, counters().answers_stale, "meant for another host process");
    UD_EXIT("flow %s: another host's", flow_id.c_str());
    return;
  }
  flow_generator::lookup found = flow_generator::lookup::unknown;
  std::shared_ptr<raw_transaction> request = owner.funnel.flow_table().take(flow_id, found);
  // The plain protocol refuses an id it does not know, or no longer (answered already).
  const bool not_known = found == flow_generator::lookup::unknown || found == flow_generator::lookup::answered;
  if (not_known && !declared) {
    UD_EXIT("flow %s: flow not found", flow_id.c_str());
    throw funneltunnel_exception("flow not found", status::GENERAL_FAILURE);
  }
  if (!request || !request->claim()) {  // its caller gave up, or the answer is not ours
    if (found == flow_generator::lookup::answered) {  // a copy: the first one got through
      poll.response_extensions[header_answer] = answer_duplicate;
    } else if (found == flow_generator::lookup::stale) {
      drop(UD_BLOCK, poll, counters().answers_stale, "meant for another host process");
    } else if (found == flow_generator::lookup::unknown) {
      drop(UD_BLOCK, poll, counters().answers_unknown, "no such flow");
    } else {
      drop(UD_BLOCK, poll, counters().answers_for_callers_gone, "its caller has gone");
    }
    UD_EXIT("flow %s: answer dropped", flow_id.c_str());
    return;
  }
  request->response_data = poll.request_data;
  request->set_status_code(status);
  if (request->carried.reply_carried) {
    // The reply is the remote side's: its type and headers, none of the caller's own.
    request->clear_headers();
    request->set_header(header_content_type, answer_type);
    if (!take_reply(poll, *request)) {
      request->set_status_code(502);
      request->set_header(header_content_type, "text/plain");
      request->response_data = filestring::literal("qel: the remote client's answer headers cannot be read\n");
    }
  }
  request->complete();
  UD_EXIT("status %u", status);
}

// An answer that reaches nobody is taken all the same: the poll goes on as after any
// answer, and a declared client is told.
void post_processor::drop(ud_block_ref block, post_transaction& poll, std::atomic<uint64_t>& counter,
                          const char* why) {
  UD_USE_BLOCK(block);
  UD_TRACE(40000, "answer dropped: %s", why);
  count(counter);
  if (poll.holder() != 0) poll.response_extensions[header_answer] = answer_dropped;
}

}  // namespace rce
}  // namespace funneltunnel
}  // namespace qel
