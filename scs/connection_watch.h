// ConnectionWatch: tells a waiting request callback that its client has gone.
//
// A callback that blocks until its answer is ready cannot see its client close the
// connection: libmicrohttpd's connection thread is inside the callback. The watch
// keeps one epoll set of the sockets of watched requests (EPOLLRDHUP only, so data a
// client sends ahead is not an event) and one thread that calls each request's `gone`
// function when its client shuts the connection down. A client that half-closes its
// sending side after the request counts as gone: the answer could not be told apart
// from one to a closed connection.
//
// Threads: watch() and unwatch() from any thread; `gone` runs on the watch thread,
// at most once per watch. unwatch() returns only when `gone` is not running and will
// not run, so the caller may free the context right after. The process-wide instance
// is never destroyed; its thread starts with the first watch.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "qelSessionConfigSvcs.h"

namespace qel::scs {

class ConnectionWatch {
 public:
  ConnectionWatch() = default;
  ConnectionWatch(const ConnectionWatch&) = delete;
  ConnectionWatch& operator=(const ConnectionWatch&) = delete;

  // Watches `socket` for request `id`; replaces an earlier watch of the same id.
  // Throws ScsError when the socket cannot be watched.
  void watch(std::uint32_t id, int socket, SCS_GONE_CALLBACK gone, void* context);
  // Ends the watch of `id` (nothing when there is none).
  void unwatch(std::uint32_t id);
  std::size_t size() const;

 private:
  struct Entry {
    int socket;
    SCS_GONE_CALLBACK gone;
    void* context;
    bool running = false;  // `gone` is being called right now
  };

  void start_locked();
  void run() noexcept;
  void fire(std::uint32_t id);
  void forget_locked(std::unique_lock<std::mutex>& lock, std::uint32_t id);

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  std::unordered_map<std::uint32_t, Entry> entries_;
  int epoll_ = -1;
};

// The process-wide watch.
ConnectionWatch& watches();

}  // namespace qel::scs
