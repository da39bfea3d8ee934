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
  void stop(std::uint32_t listener);
  void remove(std::uint32_t listener);

 private:
  using Released = std::vector<std::shared_ptr<HttpDaemon>>;

  Listener& find(std::uint32_t handle);
  void require_init() const;
  static void require_not_in_callback();
  DaemonMap plan_daemons(Listener& listener, std::map<std::string, std::vector<std::string>>& served);
  std::shared_ptr<HttpDaemon> acquire(const EndpointConfig& config, Listener& listener);
  void release_all(Listener& listener, Released& released);

  std::mutex mutex_;
  bool initialized_ = false;
  std::uint32_t next_handle_ = 1;
  std::map<std::uint32_t, std::unique_ptr<Listener>> listeners_;
  std::map<std::string, std::weak_ptr<HttpDaemon>> pool_;  // by share key
};

Server& server();

}  // namespace qel::scs
