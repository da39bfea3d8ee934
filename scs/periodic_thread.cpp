#include "scs/periodic_thread.h"

#include <utility>

#include "scs/api_guard.h"

namespace qel::scs {

void PeriodicThread::start(std::chrono::milliseconds period, std::function<void()> tick) {
  stop();
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = false;
  tick_ = std::move(tick);
  thread_ = std::thread(&PeriodicThread::run, this, period);
}

void PeriodicThread::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void PeriodicThread::run(std::chrono::milliseconds period) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_for(lock, period, [this] { return stopping_; })) {
    lock.unlock();
    // One failed round must not end the thread that ends every slow connection.
    guarded_callback("PeriodicThread", [this] { tick_(); });
    lock.lock();
  }
}

}  // namespace qel::scs
