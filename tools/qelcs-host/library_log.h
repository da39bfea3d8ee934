// The log interface qelcs-host hands to CS_Init: every line the libraries log goes to
// the host's log at the matching level ("INFO SCS_SERVER_StartServer: ..."), and the
// host keeps what it needs of them: where the service library serves (its "listener N
// endpoint 'NAME' serves /a, /b at URL" lines, with the ports actually bound, also for
// port 0) and the last error, which says why a CS_Init failed.
//
// The sink records are static (the library keeps their address until the process ends);
// the callback runs on any thread and the kept lines are guarded by a mutex.
#ifndef QELCS_HOST_LIBRARY_LOG_H
#define QELCS_HOST_LIBRARY_LOG_H

#include <string>
#include <vector>

#include "log_output.h"
#include "qelConnectionServer.h"

namespace qelcs_host {

struct served_endpoint {
  std::string name;  // "default" or the section's NAME
  std::string url;   // "http://127.0.0.1:18080"
  std::vector<std::string> resources;
};

class library_log {
 public:
  // The sink for `level`: errors, warnings and information always (the serving lines are
  // information), entry lines at debug. Lines below `level` are kept but not written.
  static const mslLogSink* sink(qel::tools::log_level level);
  // Every endpoint logged as serving, each URL once with its resources, in log order.
  static std::vector<served_endpoint> served();
  // The text of the last line logged when that line is an error (entry lines aside),
  // without the function name; empty otherwise.
  static std::string last_error();
};

// The endpoint of one "listener N endpoint 'NAME' serves /a, /b at URL" message; false
// for any other message.
bool parse_serving_line(const std::string& message, served_endpoint& endpoint);

}  // namespace qelcs_host

#endif  // QELCS_HOST_LIBRARY_LOG_H
