// The server half of the library: the listeners, the shared HTTP daemons and the
// initialisation state behind the SCS_SERVER_* functions.
//
// One process-wide instance. Every operation takes the server lock; daemons that are
// let go are stopped only after the lock is released, because stopping waits for the
// callbacks still running on them. Stopping operations refuse to run on a callback
// thread (a daemon cannot join its own thread). Errors are thrown as ScsError.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "scs/listener.h"
#include "scs/reload_plan.h"

namespace qel::scs {

class Server {
 public:
  void init();
  void shut_down();
  // `source_N`: the file settings_N was read from, for error messages (may be null).
  std::uint32_t add_listener(const char* settings_1, const char* settings_2,
                             const char* source_1 = nullptr, const char* source_2 = nullptr);
  void register_post(std::uint32_t listener, const char* resource, std::uint32_t token,
                     SCS_POST_CALLBACK callback, std::uint32_t mode);
  void set_admission(std::uint32_t listener, const char* resource, SCS_ADMIT_CALLBACK admit);
  void start(std::uint32_t listener);
  void quiesce(std::uint32_t listener);
  // Applies what the new settings change without a restart to the listener and the
  // daemons it runs (and so to every listener sharing them); 0, or
  // SCS_RESTART_NEEDED when something was left for a restart (logged). Throws
  // ScsError, having applied nothing, when the settings or their files are unusable.
  std::uint32_t reload(std::uint32_t listener, const char* settings_1, const char* source_1,
                       const char* settings_2, const char* source_2);
  void stop(std::uint32_t listener);
  void remove(std::uint32_t listener);

 private:
  using Released = std::vector<std::shared_ptr<HttpDaemon>>;
  // A running daemon and what a reload gives it.
  struct DaemonReload {
    std::shared_ptr<HttpDaemon> daemon;
    std::shared_ptr<const EndpointState> state;
    ConnectionLimits limits;
  };

  Listener& find(std::uint32_t handle);
  void require_init() const;
  static void require_not_in_callback();
  DaemonMap plan_daemons(Listener& listener, std::map<std::string, std::vector<std::string>>& served);
  std::shared_ptr<HttpDaemon> acquire(const EndpointConfig& config, Listener& listener);
  void release_all(Listener& listener, Released& released);
  std::vector<DaemonReload> prepare_reload(Listener& listener, const ReloadPlan& plan);
  void commit_reload(const DaemonReload& reload);

  std::mutex mutex_;
  bool initialized_ = false;
  std::uint32_t next_handle_ = 1;
  std::map<std::uint32_t, std::unique_ptr<Listener>> listeners_;
  std::map<std::string, std::weak_ptr<HttpDaemon>> pool_;  // by share key
};

Server& server();

}  // namespace qel::scs
