// Registration message support for a build without the message library: the endpoint
// is still installed and answers with a clear status instead of a message.
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/set_site_message.h"
#include "qelStatusCodes.h"

namespace qel {
namespace funneltunnel {

void process_set_site_message(const agent_info&, const std::string&, const std::string&,
                              const std::string&, std::string&) {
  throw funneltunnel_exception("reverse registration messages are not available in this build",
                               status::CS_REGISTRATION_UNAVAILABLE);
}

void prepare_set_site_message_support() {}

bool is_well_formed_links_fragment(const std::string&) { return true; }

}  // namespace funneltunnel
}  // namespace qel
