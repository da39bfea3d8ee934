// event_loop: the one thread that drives every poll and target exchange of qelcs-remote.
// An epoll set of descriptors, each with the handler it wakes, timers kept in deadline
// order, and an eventfd through which other threads wake the loop (wake()).
//
// Owned by the tunnel client. Everything but wake() runs on the loop's thread; wake()
// may be called from any thread. Handlers and timers must outlive their registration.
#ifndef QELCS_REMOTE_EVENT_LOOP_H
#define QELCS_REMOTE_EVENT_LOOP_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <unordered_map>

namespace qelcs_remote {

class event_loop {
 public:
  using clock = std::chrono::steady_clock;

  // Receives the epoll events (EPOLLIN, EPOLLOUT, EPOLLERR, EPOLLHUP) of a descriptor.
  class handler {
   public:
    virtual void on_events(int fd, uint32_t events) = 0;

   protected:
    ~handler() = default;
  };

  // A one-shot alarm; set() again moves it, cancel() or destruction removes it. Armed
  // timers are linked into the loop's list (no allocation per set()); the loop finds
  // the earliest by walking it, which is short: a few per poller.
  class timer {
   public:
    explicit timer(event_loop& loop, std::function<void()> fire)
        : loop_(loop), fire_(std::move(fire)) {}
    ~timer() { cancel(); }
    timer(const timer&) = delete;
    timer& operator=(const timer&) = delete;

    void set(clock::time_point when);
    void set_in(std::chrono::milliseconds delay) { set(clock::now() + delay); }
    void cancel();
    bool armed() const { return armed_; }

   private:
    friend class event_loop;
    event_loop& loop_;
    std::function<void()> fire_;
    clock::time_point when_;
    timer* previous_ = nullptr;
    timer* next_ = nullptr;
    bool armed_ = false;
  };

  event_loop();
  ~event_loop();
  event_loop(const event_loop&) = delete;
  event_loop& operator=(const event_loop&) = delete;

  // Starts watching `fd` for `events`, or changes what is watched or who is told; false
  // when epoll refused. Unwatch a descriptor before closing it.
  bool watch(int fd, uint32_t events, handler* to);
  void unwatch(int fd);

  // One round: waits (at most until the next timer or `longest`) and dispatches what
  // arrived, then the timers that are due. Returns after a wake() too.
  void run_once(std::chrono::milliseconds longest);
  // Any thread: makes the current or next run_once return soon.
  void wake();

 private:
  void fire_due_timers();
  // The earliest armed timer; null when none is.
  timer* first_timer() const;

  int epoll_ = -1;
  int wake_fd_ = -1;
  timer* timers_ = nullptr;  // the armed timers, in no order
  std::unordered_map<int, handler*> handlers_;
};

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_EVENT_LOOP_H
