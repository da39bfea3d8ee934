// set_site_message: the registration message builder as the core sees it. The message
// library provides it (process_set_site_message.h); a build without that library
// uses set_site_message_fallback.cpp, whose endpoint answers every request with the
// status CS_REGISTRATION_UNAVAILABLE (HTTP 500 from the service library) and accepts
// any links text.
#ifndef QEL_FUNNELTUNNEL_SET_SITE_MESSAGE_H
#define QEL_FUNNELTUNNEL_SET_SITE_MESSAGE_H

#if __has_include("qelConnectionServer/process_set_site_message.h")
#include "qelConnectionServer/process_set_site_message.h"
#else
#include <string>

#include "qelConnectionServer/agent_info.h"

namespace qel {
namespace funneltunnel {

void process_set_site_message(const agent_info& config, const std::string& dns_name,
                              const std::string& lmi_links_utf8, const std::string& request,
                              std::string& response);
void prepare_set_site_message_support();
bool is_well_formed_links_fragment(const std::string& text);

}  // namespace funneltunnel
}  // namespace qel
#endif

#endif  // QEL_FUNNELTUNNEL_SET_SITE_MESSAGE_H
