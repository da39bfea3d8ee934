#include "scs/connection_watch.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include "scs/api_guard.h"
#include "scs/log.h"
#include "scs/scs_error.h"
#include "scs/status.h"

namespace qel::scs {
namespace {

std::thread::id g_watch_thread;

}  // namespace

void ConnectionWatch::watch(std::uint32_t id, int socket, SCS_GONE_CALLBACK gone,
                            void* context) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (entries_.count(id) != 0) forget_locked(lock, id);
  start_locked();
  epoll_event event{};
  event.events = EPOLLRDHUP | EPOLLONESHOT;  // HUP and ERR are always reported
  event.data.u64 = id;
  if (epoll_ctl(epoll_, EPOLL_CTL_ADD, socket, &event) != 0) {
    throw ScsError(status::SCS_INTERNAL_ERROR,
                   std::string("cannot watch the connection of a request: ") +
                       std::strerror(errno));
  }
  entries_.emplace(id, Entry{socket, gone, context});
}

void ConnectionWatch::unwatch(std::uint32_t id) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (entries_.count(id) != 0) forget_locked(lock, id);
}

std::size_t ConnectionWatch::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

void ConnectionWatch::start_locked() {
  if (epoll_ >= 0) return;
  const int fd = epoll_create1(EPOLL_CLOEXEC);
  if (fd < 0) {
    throw ScsError(status::SCS_INTERNAL_ERROR,
                   std::string("cannot create the connection watch: ") + std::strerror(errno));
  }
  epoll_ = fd;
  std::thread thread(&ConnectionWatch::run, this);
  g_watch_thread = thread.get_id();
  thread.detach();  // lives as long as the process, like the instance
}

void ConnectionWatch::run() noexcept {
  std::array<epoll_event, 64> events;
  for (;;) {
    const int n = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      log().write(MSL_LOG_ERROR, "ConnectionWatch", "epoll_wait failed: %s",
                  std::strerror(errno));
      return;
    }
    for (int i = 0; i < n; ++i) {
      // One failed notice must not end the thread that watches every other request.
      guarded_callback("ConnectionWatch", [&] { fire(static_cast<std::uint32_t>(events[i].data.u64)); });
    }
  }
}

void ConnectionWatch::fire(std::uint32_t id) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto it = entries_.find(id);
  if (it == entries_.end() || it->second.running || it->second.gone == nullptr) return;
  Entry& entry = it->second;
  entry.running = true;
  const SCS_GONE_CALLBACK gone = entry.gone;
  void* const context = entry.context;
  entry.gone = nullptr;  // at most once per watch
  lock.unlock();
  gone(context);
  lock.lock();
  const auto again = entries_.find(id);  // gone itself may have ended the watch
  if (again != entries_.end()) again->second.running = false;
  idle_.notify_all();
}

void ConnectionWatch::forget_locked(std::unique_lock<std::mutex>& lock, std::uint32_t id) {
  Entry& entry = entries_.at(id);
  epoll_ctl(epoll_, EPOLL_CTL_DEL, entry.socket, nullptr);
  // `gone` may not end its own watch by waiting for itself.
  if (std::this_thread::get_id() != g_watch_thread) {
    idle_.wait(lock, [&] { return !entries_.at(id).running; });
  }
  entries_.erase(id);
}

ConnectionWatch& watches() {
  static ConnectionWatch& instance = *new ConnectionWatch;  // threads may outlive exit
  return instance;
}

}  // namespace qel::scs
