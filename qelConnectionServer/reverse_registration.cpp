#include "qelConnectionServer/reverse_registration.h"

#include "qelConnectionServer/filestring.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/listener.h"
#include "qelConnectionServer/process_set_site_message.h"
#include "qelStatusCodes.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

std::string checked_links_text(const std::string& lmi_links) {
  UD_ENTER("checked_links_text", "length %zu", lmi_links.size());
  std::string text = without_leading_xml_declaration(filestring(lmi_links).text);
  if (!is_well_formed_links_fragment(text)) {
    UD_EXIT("%s", "malformed");
    throw funneltunnel_exception("lmi links are not a well-formed XML fragment",
                                 status::CS_LINKS_MALFORMED);
  }
  UD_EXIT("%s", "");
  return text;
}

reverse_registration::reverse_registration(listener& on, const agent_info& config,
                                           const std::string& dns_name,
                                           const std::string& lmi_links)
    : on(on),
      registration_endpoint(config, dns_name, checked_links_text(lmi_links)),
      resource("/qel/sensor_services/management") {
  UD_ENTER("reverse_registration::reverse_registration", "%p", static_cast<void*>(&on));
  UD_TRACE(40000, "resource is %s", resource.c_str());
  UD_EXIT("%s", "");
}

void reverse_registration::install() {
  UD_ENTER("reverse_registration::install", "%s", resource.c_str());
  // The message library's process-wide setup runs once here, before the listener can
  // deliver a request, so request threads never modify it concurrently.
  prepare_set_site_message_support();
  // Answered inside process(): a worker pool may serve it.
  registration_endpoint.install_processors(on, resource, SCS_POST_NEVER_BLOCKS);
  UD_EXIT("%s", "");
}

}  // namespace funneltunnel
}  // namespace qel
