#include "qelConnectionServer/endpoint.h"

#include "qelConnectionServer/listener.h"
#include "qelConnectionServer/token_table.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

endpoint::endpoint(get_processor_ptr&& get, post_processor_ptr&& post)
    : get_processor(std::move(get)), post_processor(std::move(post)) {}

endpoint::~endpoint() {
  UD_ENTER("endpoint::~endpoint", "%p", static_cast<void*>(this));
  revoke_tokens();
  post_processor.reset();
  get_processor.reset();
  UD_EXIT("%s", "");
}

void endpoint::install_processors(listener& on, const std::string& resource, uint32_t extension_modes,
                                  admission* check) {
  UD_ENTER("endpoint::install_processors", "%p %s", static_cast<void*>(&on), resource.c_str());
  UD_TRACE(43000, "post processor (registration_token) %p",
           static_cast<void*>(post_processor.get()));
  const uint32_t token = funneltunnel::tokens().add(post_processor.get(), check);
  tokens.push_back(token);  // revoked with the endpoint even if the registration fails
  on.add_POST_resource(resource, token, extension_modes);
  if (check != nullptr) on.set_admission(resource);
  UD_EXIT("token %u", token);
}

void endpoint::revoke_tokens() {
  UD_ENTER("endpoint::revoke_tokens", "%zu tokens", tokens.size());
  for (uint32_t token : tokens) funneltunnel::tokens().revoke(token);
  tokens.clear();
  UD_EXIT("%s", "");
}

}  // namespace funneltunnel
}  // namespace qel
