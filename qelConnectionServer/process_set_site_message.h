// process_set_site_message: builds the one CML answer of reverse registration (an
// agent startup announcement plus a set-site response carrying the LMI links) and
// its support: the one-time CML preparation and the check of the links text.
// Any thread may call any of them at any time; the CML registrations they make go
// through the class factory's lock and the guarded implicit namespace set.
#ifndef QEL_FUNNELTUNNEL_PROCESS_SET_SITE_MESSAGE_H
#define QEL_FUNNELTUNNEL_PROCESS_SET_SITE_MESSAGE_H

#include <string>

#include "qelConnectionServer/agent_info.h"

namespace qel {
namespace funneltunnel {

// Writes the registration message (UTF-8 XML) into `response`. `request` is traced
// only. Throws funneltunnel_exception (0x47210047) when the message library fails;
// `response` is then left as it was. The message depends only on the other arguments:
// `prepared`, the bytes an earlier call wrote for them, is copied instead of building
// it again (with the same trace lines).
void process_set_site_message(const agent_info& config, const std::string& dns_name,
                              const std::string& lmi_links_utf8, const std::string& request,
                              std::string& response, const std::string* prepared = nullptr);

// Registers the message classes and the implicit namespaces once per process.
// Called by the connection server before its listeners start; later calls return.
void prepare_set_site_message_support();

// True when the links text, as the message will carry it, is a well-formed XML
// fragment (plain text without markup is one).
bool is_well_formed_links_fragment(const std::string& links_utf8);

// The text without the XML declaration it starts with ("<?xml" and a blank, up to
// the first "?>", after an optional UTF-8 byte-order mark); any other text is
// returned whole, so "?>" inside the text or a declaration elsewhere stays.
std::string without_leading_xml_declaration(const std::string& text);

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_PROCESS_SET_SITE_MESSAGE_H
