// What a running endpoint reads for each connection and request, and what a reload
// replaces as a whole: the endpoint's settings as they stand (the keys a reload may
// change among them) and, parsed from them, its TLS identity and client CA list.
//
// Made by EndpointState::make on the thread that starts or reloads a listener;
// immutable afterwards. The HttpDaemon publishes it through an atomic shared_ptr, so a
// request or handshake holds the state it loaded until it is done with it. Any thread.
#pragma once

#include <memory>

#include "scs/client_ca.h"
#include "scs/endpoint_config.h"
#include "scs/tls_identity.h"

namespace qel::scs {

struct EndpointState {
  // The state of `config`: TLS identity and client CAs parsed when it has them;
  // throws ScsError (SCS_TLS_FAILED) when they cannot be used.
  static std::shared_ptr<const EndpointState> make(EndpointConfig config);

  EndpointConfig config;
  std::shared_ptr<const TlsIdentity> identity;  // null without TLS
  std::shared_ptr<const ClientCaList> client_cas;  // null without tls_client_ca_file
};

}  // namespace qel::scs
