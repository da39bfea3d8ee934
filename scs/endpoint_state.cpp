#include "scs/endpoint_state.h"

#include <utility>

namespace qel::scs {

std::shared_ptr<const EndpointState> EndpointState::make(EndpointConfig config) {
  auto state = std::make_shared<EndpointState>();
  state->config = std::move(config);
  if (state->config.tls()) state->identity = TlsIdentity::load(state->config);
  if (!state->config.tls_client_ca_pem.empty()) {
    state->client_cas = ClientCaList::load(state->config);
  }
  return state;
}

}  // namespace qel::scs
