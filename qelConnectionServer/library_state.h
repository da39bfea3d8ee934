// library_state: what the exported interface keeps between calls: the one connection
// server (built by the first successful CS_Init, then kept until the process ends)
// and whether the host chose the service library directory.
//
// Decisions: a CS_Init after a successful one builds nothing and fails with
// CS_ALREADY_INITIALISED, leaving the running server as it is (no second set of
// listeners, no second funnel thread); SetReverseConnection before a successful
// CS_Init fails with CS_NOT_INITIALISED. When the host has not called
// CS_SetMSLLibPath, the service library is looked up in the folder holding this
// library itself.
// Threads: the host must not run init() concurrently with init() or
// set_reverse_connection() (the pointer itself is atomic, so readers never see a
// torn value). The process-wide instance is never destroyed.
#ifndef QEL_FUNNELTUNNEL_LIBRARY_STATE_H
#define QEL_FUNNELTUNNEL_LIBRARY_STATE_H

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "qelConnectionServer/connection_server.h"

namespace qel {
namespace funneltunnel {

class library_state {
 public:
  using server_factory = std::function<std::unique_ptr<connection_server>()>;

  library_state() = default;
  ~library_state();
  library_state(const library_state&) = delete;
  library_state& operator=(const library_state&) = delete;

  // Builds the server with `build` unless one runs already (then throws
  // CS_ALREADY_INITIALISED without calling `build`). A failed build leaves no server.
  void init(const server_factory& build);
  // Throws CS_NOT_INITIALISED when no server has been built.
  void set_reverse_connection(bool enable);
  // The graceful stop (connection_server::stop); CS_NOT_INITIALISED without a server.
  void stop(bool now);
  // A reload (connection_server::reload); CS_NOT_INITIALISED without a server.
  uint32_t reload(const std::string& settings_1, const std::string& reserved, const std::string& settings_2);
  connection_server* server() const { return current.load(); }

  void host_set_library_path() { host_chose_path = true; }
  bool host_chose_library_path() const { return host_chose_path.load(); }

 private:
  std::atomic<connection_server*> current{nullptr};
  std::atomic<bool> host_chose_path{false};
};

library_state& state();

// The folder holding the object this code is linked into (the shared library in a
// host), found with dladdr; "." when it cannot be told.
std::string own_library_folder();

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_LIBRARY_STATE_H
