#include "scs/held_callbacks.h"

#include <sys/socket.h>

#include <utility>
#include <vector>

#include "scs/api_guard.h"

namespace qel::scs {

bool HeldCallbacks::run(int socket, std::function<void()> call, std::function<void()> resume) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_) return false;
  reap_locked();
  Held& held = held_.emplace_back();
  held.socket = socket;
  held.call = std::move(call);
  held.resume = std::move(resume);
  held.owner = this;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, stack_size_);
  const int failed = pthread_create(&held.thread, &attributes, &HeldCallbacks::main, &held);
  pthread_attr_destroy(&attributes);
  if (failed != 0) held_.pop_back();
  return failed == 0;
}

void* HeldCallbacks::main(void* argument) noexcept {
  auto& held = *static_cast<Held*>(argument);
  HeldCallbacks& owner = *held.owner;
  guarded_callback("HeldCallbacks", held.call);
  {
    std::lock_guard<std::mutex> lock(owner.mutex_);
    held.socket = -1;  // from here the connection may close and its number be reused
  }
  guarded_callback("HeldCallbacks", held.resume);
  std::lock_guard<std::mutex> lock(owner.mutex_);
  held.done = true;
  return nullptr;
}

// Threads that are done have nothing left but to return: joining them is quick.
void HeldCallbacks::reap_locked() {
  for (auto it = held_.begin(); it != held_.end();) {
    if (!it->done) {
      ++it;
      continue;
    }
    pthread_join(it->thread, nullptr);
    it = held_.erase(it);
  }
}

void HeldCallbacks::end_all() {
  std::vector<pthread_t> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    for (Held& held : held_) {
      if (held.socket >= 0) ::shutdown(held.socket, SHUT_RDWR);
      threads.push_back(held.thread);
    }
  }
  for (pthread_t thread : threads) pthread_join(thread, nullptr);
  std::lock_guard<std::mutex> lock(mutex_);
  held_.clear();
}

}  // namespace qel::scs
