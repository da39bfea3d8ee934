#include "qelConnectionServer/reverse_connection_endpoint.h"

#include <cctype>
#include <limits>

#include "qelConnectionServer/known_headers.h"
#include "qelConnectionServer/reverse_funnel.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

uint32_t answer_status(const std::string& status_header) {
  std::size_t at = 0;
  while (at < status_header.size() && std::isspace(static_cast<unsigned char>(status_header[at])))
    ++at;
  if (at == status_header.size() || !std::isdigit(static_cast<unsigned char>(status_header[at])))
    return 502;  // no readable status: the remote side failed to answer properly
  uint64_t value = 0;
  for (; at < status_header.size() && std::isdigit(static_cast<unsigned char>(status_header[at])); ++at) {
    value = value * 10 + static_cast<uint64_t>(status_header[at] - '0');
    if (value > std::numeric_limits<uint32_t>::max()) return std::numeric_limits<uint32_t>::max();
  }
  return static_cast<uint32_t>(value);
}

reverse_connection_endpoint::reverse_connection_endpoint(reverse_funnel& funnel)
    : endpoint(std::make_unique<rce::get_processor>(), std::make_unique<rce::post_processor>(*this)),
      funnel(funnel) {}

reverse_connection_endpoint::~reverse_connection_endpoint() = default;

namespace rce {

void post_processor::process(std::shared_ptr<post_transaction> poll) {
  UD_ENTER("rce::post_processor::process", "%p", static_cast<void*>(poll.get()));
  const std::string flow_id = poll->find_header(header_message_id);
  if (flow_id.empty()) {
    UD_TRACE(40000, "%s", "Tunnel reset by remote client");
    owner.funnel.reset_tunnel();
  } else {
    answer(*poll, flow_id);  // "flow not found" leaves here: the poll is not parked
  }
  owner.funnel.serve_poll(UD_BLOCK, poll);
  UD_EXIT("%s", "");
}

void post_processor::answer(post_transaction& poll, const std::string& flow_id) {
  UD_ENTER("rce::post_processor::answer", "flow %s", flow_id.c_str());
  std::shared_ptr<raw_transaction> request = owner.funnel.flow_table().get_transaction(flow_id);
  request->response_data = poll.request_data;
  const uint32_t status = answer_status(poll.find_header(header_status_code));
  request->set_status_code(status);
  poll.clear_headers();  // none of the answer's headers go back to the remote client
  request->complete();
  UD_EXIT("status %u", status);
}

}  // namespace rce
}  // namespace funneltunnel
}  // namespace qel
