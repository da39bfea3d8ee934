// Opening the listening socket of an endpoint ourselves, so that "address in use" is
// told apart from other failures and the bound port is known (port 0 picks one).
// The socket is handed to the HTTP daemon, which closes it when it stops.
#pragma once

#include <cstdint>

#include "scs/endpoint_config.h"

namespace qel::scs {

struct ListenSocket {
  int fd = -1;
  std::uint16_t port = 0;  // the port actually bound
};

// Throws ScsError: SCS_ADDRESS_IN_USE, or SCS_LISTEN_FAILED with the system error.
ListenSocket open_listen_socket(const EndpointConfig& config);

}  // namespace qel::scs
