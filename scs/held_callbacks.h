// Threads for callbacks that may wait but whose request came on a connection that a
// worker pool serves (a connection whose first request was for a resource that never
// waits, then asked for one that does). The worker suspends the connection and goes on
// with its other connections; the callback runs on a thread of its own, with the stack
// size of a connection thread, and resumes the connection when it returns.
//
// Owned by its HttpDaemon. run() from the daemon's workers; end_all() from the thread
// that stops the daemon, before libmicrohttpd's daemon is stopped (it must not find a
// connection suspended). After end_all() run() starts nothing.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <functional>
#include <list>
#include <mutex>

namespace qel::scs {

class HeldCallbacks {
 public:
  explicit HeldCallbacks(std::size_t stack_size) : stack_size_(stack_size) {}
  ~HeldCallbacks() { end_all(); }
  HeldCallbacks(const HeldCallbacks&) = delete;
  HeldCallbacks& operator=(const HeldCallbacks&) = delete;

  // Runs `call` and then `resume` on a new thread. Until `call` has returned, end_all()
  // may shut `socket` down (its client then sees the connection close at once, as on a
  // stop); `resume` runs after the socket is no longer touched here. False, with
  // nothing run, when stopping or when no thread can be made.
  bool run(int socket, std::function<void()> call, std::function<void()> resume);
  // Shuts down the sockets of the callbacks still running and waits for every thread.
  void end_all();

 private:
  struct Held {
    pthread_t thread{};
    int socket = -1;     // -1 once `call` has returned
    bool done = false;   // the thread is about to end
    std::function<void()> call, resume;
    HeldCallbacks* owner = nullptr;
  };
  static void* main(void* held) noexcept;
  void reap_locked();

  const std::size_t stack_size_;
  std::mutex mutex_;
  std::list<Held> held_;
  bool stopping_ = false;
};

}  // namespace qel::scs
