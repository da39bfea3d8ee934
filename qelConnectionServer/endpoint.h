// endpoint: a pair of processors installed on resource paths of listeners; every POST
// to such a resource reaches the POST processor. The GET processor is never
// registered (GET is not served).
//
// Ownership: the endpoint owns both processors. Installing registers the POST
// processor under a token of the process-wide token table; the destructor revokes
// every token first (waiting for calls in progress), then deletes the POST processor
// and then the GET processor. Threads: install_processors, revoke_tokens and the
// destructor run on the thread that builds or destroys the owner.
#ifndef QEL_FUNNELTUNNEL_ENDPOINT_H
#define QEL_FUNNELTUNNEL_ENDPOINT_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qelConnectionServer/admission.h"
#include "qelConnectionServer/get_transaction.h"
#include "qelConnectionServer/post_transaction.h"
#include "qelConnectionServer/processor.h"

namespace qel {
namespace funneltunnel {

class listener;

class endpoint {
 public:
  using get_processor_ptr = std::unique_ptr<processor<get_transaction>>;
  using post_processor_ptr = std::unique_ptr<processor<post_transaction>>;

  // Takes both processors over; the handles are left empty.
  endpoint(get_processor_ptr&& get, post_processor_ptr&& post);
  virtual ~endpoint();
  endpoint(const endpoint&) = delete;
  endpoint& operator=(const endpoint&) = delete;

  // Registers the POST processor for `resource` on `on` (which starts it). See
  // listener::add_POST_resource for `extension_modes`. `check`, when given, runs before a
  // request's body is read where the service library can ask (admission.h).
  void install_processors(listener& on, const std::string& resource, uint32_t extension_modes = 0,
                          admission* check = nullptr);
  // From here on no request reaches this endpoint's processors.
  void revoke_tokens();

  const std::vector<uint32_t>& tokens_issued() const { return tokens; }

 private:
  get_processor_ptr get_processor;
  post_processor_ptr post_processor;
  std::vector<uint32_t> tokens;
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_ENDPOINT_H
