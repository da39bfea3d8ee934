// scs_server: loads the HTTP service library and initialises its server half.
// Constructed once per connection server on the host's thread; it has no state and
// no destructor work (the service library stays loaded until the process ends).
#ifndef QEL_FUNNELTUNNEL_SCS_SERVER_H
#define QEL_FUNNELTUNNEL_SCS_SERVER_H

#include <cstdint>
#include <string>

#include "qelConnectionServer.h"

namespace qel {
namespace funneltunnel {

// Loads the named service library and fills the loader's table; 0 or a status.
using scs_library_loader = uint32_t (*)(const char* library);

class scs_server {
 public:
  // Throws funneltunnel_exception "failed to load SCS library" or
  // "SCS_SERVER_Init failed" with the status of the failing call. `load` is the
  // loader's own function unless a test supplies another.
  scs_server(const std::string& agent_version, const std::string& agent_uuid,
             const std::string& agent_name, const mslLogSink* log_sink,
             scs_library_loader load = nullptr);
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_SCS_SERVER_H
