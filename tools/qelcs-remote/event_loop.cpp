// epoll, timers and the wake-up descriptor.
#include "event_loop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace qelcs_remote {

void event_loop::timer::set(clock::time_point when) {
  when_ = when;
  if (armed_) return;
  next_ = loop_.timers_;
  previous_ = nullptr;
  if (next_ != nullptr) next_->previous_ = this;
  loop_.timers_ = this;
  armed_ = true;
}

void event_loop::timer::cancel() {
  if (!armed_) return;
  if (previous_ != nullptr) previous_->next_ = next_;
  else loop_.timers_ = next_;
  if (next_ != nullptr) next_->previous_ = previous_;
  previous_ = next_ = nullptr;
  armed_ = false;
}

event_loop::event_loop()
    : epoll_(epoll_create1(EPOLL_CLOEXEC)), wake_fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (epoll_ < 0 || wake_fd_ < 0) throw std::runtime_error("cannot create the event loop's descriptors");
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = wake_fd_;
  epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_fd_, &event);
}

event_loop::~event_loop() {
  while (timers_ != nullptr) timers_->cancel();
  close(wake_fd_);
  close(epoll_);
}

bool event_loop::watch(int fd, uint32_t events, handler* to) {
  epoll_event event{};
  event.events = events;
  event.data.fd = fd;
  handlers_[fd] = to;
  // A descriptor closed by someone else (libcurl) has left the epoll set by itself.
  if (epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &event) == 0) return true;
  if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) == 0) return true;
  handlers_.erase(fd);
  return false;
}

void event_loop::unwatch(int fd) {
  if (handlers_.erase(fd) > 0) epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
}

void event_loop::wake() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(wake_fd_, &one, sizeof one);
}

void event_loop::run_once(std::chrono::milliseconds longest) {
  auto wait = longest;
  if (const timer* first = first_timer()) {
    const auto until_first = std::chrono::ceil<std::chrono::milliseconds>(first->when_ - clock::now());
    wait = std::max(std::chrono::milliseconds(0), std::min(wait, until_first));
  }
  epoll_event events[64];
  const int count = epoll_wait(epoll_, events, 64, static_cast<int>(wait.count()));
  for (int i = 0; i < count; ++i) {
    const int fd = events[i].data.fd;
    if (fd == wake_fd_) {
      uint64_t value;
      [[maybe_unused]] const ssize_t n = read(wake_fd_, &value, sizeof value);
      continue;
    }
    // An earlier handler of this round may have closed and forgotten the descriptor.
    const auto found = handlers_.find(fd);
    if (found != handlers_.end()) found->second->on_events(fd, events[i].events);
  }
  fire_due_timers();
}

event_loop::timer* event_loop::first_timer() const {
  timer* first = timers_;
  for (timer* t = timers_; t != nullptr; t = t->next_)
    if (t->when_ < first->when_) first = t;
  return first;
}

void event_loop::fire_due_timers() {
  const auto now = clock::now();
  // A fired timer may set or cancel others: look again from the start after each.
  for (timer* due = first_timer(); due != nullptr && due->when_ <= now; due = first_timer()) {
    due->cancel();
    due->fire_();  // may set timers again, this one included
  }
}

}  // namespace qelcs_remote
