// The service library's side of the any-request extension is being written beside this
// change; until it lands, the two functions answer "not supported", so the connection
// server serves only the described POST to "/qel" (its fallback for any other library).
#pragma GCC visibility push(default)
#include "qelSessionConfigSvcs.h"
#pragma GCC visibility pop

#include "scs/status.h"

extern "C" {

uint32_t SCS_SERVER_GetRequestTarget(uint32_t, char**) { return qel::scs::status::SCS_NOT_SUPPORTED; }
uint32_t SCS_SERVER_GetRequestHeaders(uint32_t, char**) { return qel::scs::status::SCS_NOT_SUPPORTED; }

}  // extern "C"
