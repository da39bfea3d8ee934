// A thread that calls a function at a fixed period until it is stopped, for the work
// of an HTTP daemon that no request triggers: ending slow connections and writing the
// counted log lines.
//
// Owned by its HttpDaemon; start() and stop() from the thread that starts and stops
// the daemon. stop() returns when the function is not running and will not run again.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace qel::scs {

class PeriodicThread {
 public:
  PeriodicThread() = default;
  ~PeriodicThread() { stop(); }
  PeriodicThread(const PeriodicThread&) = delete;
  PeriodicThread& operator=(const PeriodicThread&) = delete;

  void start(std::chrono::milliseconds period, std::function<void()> tick);
  void stop();

 private:
  void run(std::chrono::milliseconds period);

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::function<void()> tick_;
  std::thread thread_;
};

}  // namespace qel::scs
