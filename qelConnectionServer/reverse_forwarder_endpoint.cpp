#include "qelConnectionServer/reverse_forwarder_endpoint.h"

#include "qelConnectionServer/reverse_funnel.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

reverse_forwarder_endpoint::reverse_forwarder_endpoint(reverse_funnel& funnel)
    : endpoint(std::make_unique<rfe::get_processor>(), std::make_unique<rfe::post_processor>(*this)),
      funnel(funnel) {}

reverse_forwarder_endpoint::~reverse_forwarder_endpoint() = default;

namespace rfe {

void post_processor::process(std::shared_ptr<post_transaction> request) {
  UD_ENTER("rfe::post_processor::process", "%p", static_cast<void*>(request.get()));
  owner.funnel.forward_request(UD_BLOCK, request);
  UD_EXIT("%s", "");
}

}  // namespace rfe
}  // namespace funneltunnel
}  // namespace qel
