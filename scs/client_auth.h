// Client authentication of an endpoint: a TLS client certificate verified against the
// endpoint's CA list, and/or a bearer token, both as the endpoint's state stands when
// the request arrives (a reload takes effect with the next request). Runs on the
// connection thread before any callback; a request that fails never reaches one.
#pragma once

#include <microhttpd.h>

#include "scs/endpoint_state.h"
#include "scs/request_exchange.h"

namespace qel::scs {

// 0 when the client may go on, 401 when it brought no credentials, 403 when they are
// wrong (a certificate that does not verify, another token).
unsigned check_client(const EndpointState& state, MHD_Connection* connection,
                      const RequestHeaders& headers);

}  // namespace qel::scs
