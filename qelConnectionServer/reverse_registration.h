// reverse_registration: installs the endpoint that answers "who is this agent" on the
// connection server's fourth listener. Owned by the connection server; built and
// installed on the host's thread, before the endpoint can receive requests.
#ifndef QEL_FUNNELTUNNEL_REVERSE_REGISTRATION_H
#define QEL_FUNNELTUNNEL_REVERSE_REGISTRATION_H

#include <string>

#include "qelConnectionServer/agent_info.h"
#include "qelConnectionServer/reverse_registration_endpoint.h"

namespace qel {
namespace funneltunnel {

class listener;

// The links text to serve: `lmi_links` itself or the contents of the file it names,
// without the XML declaration it may start with.
// Throws funneltunnel_exception (CS_LINKS_MALFORMED) unless it is a well-formed XML
// fragment, so the endpoint never serves malformed XML.
std::string checked_links_text(const std::string& lmi_links);

class reverse_registration {
 public:
  reverse_registration(listener& on, const agent_info& config, const std::string& dns_name,
                       const std::string& lmi_links);
  // Registers the endpoint on the listener's resource and starts the listener.
  void install();

  reverse_registration_endpoint& get_endpoint() { return registration_endpoint; }

 private:
  listener& on;
  reverse_registration_endpoint registration_endpoint;
  const std::string resource;
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_REVERSE_REGISTRATION_H
