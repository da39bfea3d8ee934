#include "qelConnectionServer/reverse_registration_endpoint.h"

#include "qelConnectionServer/process_set_site_message.h"
#include "qelConnectionServer/trace_text.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

reverse_registration_endpoint::reverse_registration_endpoint(const agent_info& config,
                                                             const std::string& dns_name,
                                                             const std::string& lmi_links_utf8)
    : endpoint(std::make_unique<rre::get_processor>(),
               std::make_unique<rre::post_processor>(this, config, dns_name, lmi_links_utf8)) {}

reverse_registration_endpoint::~reverse_registration_endpoint() = default;

namespace rre {

post_processor::post_processor(reverse_registration_endpoint* owner, const agent_info& config,
                               const std::string& dns_name, const std::string& lmi_links_utf8)
    : owner(owner), config(config), dns_name(dns_name), lmi_links_utf8(lmi_links_utf8) {}

void post_processor::process(std::shared_ptr<post_transaction> transaction) {
  UD_ENTER("rre::post_processor::process", "endpoint %p", static_cast<void*>(owner));
  const std::string& request = transaction->request_data.text;
  UD_TRACE(43000, "request |%.*s|", trace_len(request), request.data());
  UD_TRACE(43000,
           "request |%.*s| agent name |%s| uuid |%s| namespace |%s| version |%s| dns_name |%s| "
           "lmi_links_utf8 |%.*s|",
           trace_len(request), request.data(), config.name.c_str(), config.uuid.c_str(),
           config.agent_namespace.c_str(), config.version.c_str(), dns_name.c_str(),
           trace_len(lmi_links_utf8), lmi_links_utf8.data());
  std::string& response = transaction->response_data.text;
  const std::shared_ptr<const std::string> answer = std::atomic_load(&prepared);
  process_set_site_message(config, dns_name, lmi_links_utf8, request, response, answer.get());
  if (!answer) std::atomic_store(&prepared, std::make_shared<const std::string>(response));
  UD_TRACE(43000, "response |%.*s|", trace_len(response), response.data());
  transaction->set_status_code(200);
  transaction->complete();
  UD_EXIT("%s", "");
}

}  // namespace rre
}  // namespace funneltunnel
}  // namespace qel
