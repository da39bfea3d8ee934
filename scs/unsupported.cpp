// The functions of the loader's table that the connection server never calls: each
// exists so that the loader resolves it, and answers "not supported".
#pragma GCC visibility push(default)
#include "qelSessionConfigSvcs.h"
#pragma GCC visibility pop

#include "scs/status.h"

extern "C" {

#define QEL_SCS_UNSUPPORTED(name) \
  uint32_t name(void) { return qel::scs::status::SCS_NOT_SUPPORTED; }
SCS_UNSUPPORTED_FUNCTIONS(QEL_SCS_UNSUPPORTED)
#undef QEL_SCS_UNSUPPORTED

}  // extern "C"
