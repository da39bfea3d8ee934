// reverse_registration_endpoint: answers every POST on its resource with the fixed
// message that announces the agent and carries its links. The POST processor keeps
// read-only copies of the agent's values and the answer built once from them (set
// atomically by the first request that builds it). Owned by reverse_registration.
#ifndef QEL_FUNNELTUNNEL_REVERSE_REGISTRATION_ENDPOINT_H
#define QEL_FUNNELTUNNEL_REVERSE_REGISTRATION_ENDPOINT_H

#include <memory>
#include <string>

#include "qelConnectionServer/agent_info.h"
#include "qelConnectionServer/endpoint.h"

namespace qel {
namespace funneltunnel {

class reverse_registration_endpoint : public endpoint {
 public:
  // `lmi_links_utf8` is the links text itself (already read from its file).
  reverse_registration_endpoint(const agent_info& config, const std::string& dns_name,
                                const std::string& lmi_links_utf8);
  ~reverse_registration_endpoint() override;
};

namespace rre {

class post_processor : public processor<post_transaction> {
 public:
  post_processor(reverse_registration_endpoint* owner, const agent_info& config,
                 const std::string& dns_name, const std::string& lmi_links_utf8);
  // Completes the transaction with status 200 and the message; on failure throws
  // and leaves it uncompleted.
  void process(std::shared_ptr<post_transaction> transaction) override;

 private:
  reverse_registration_endpoint* const owner;  // kept for diagnostics only
  const agent_info config;
  const std::string dns_name;
  const std::string lmi_links_utf8;
  // The answer, built by the first request that succeeds: it depends only on the
  // values above. Read and set atomically by concurrent requests.
  std::shared_ptr<const std::string> prepared;
};

class get_processor : public processor<get_transaction> {
 public:
  void process(std::shared_ptr<get_transaction>) override {}
};

}  // namespace rre
}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_REVERSE_REGISTRATION_ENDPOINT_H
