#include "scs/connection_router.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

#include "scs/api_guard.h"
#include "scs/log.h"
#include "scs/scs_error.h"
#include "scs/status.h"

namespace qel::scs {
namespace {

using Clock = std::chrono::steady_clock;

// Out of descriptors: the listening socket rests this long instead of spinning.
constexpr std::chrono::milliseconds kAcceptPause{100};

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// libmicrohttpd decodes "%XX" with two hex digits and leaves any other '%' as it is.
std::string percent_decoded(const char* begin, const char* end) {
  std::string path;
  path.reserve(static_cast<std::size_t>(end - begin));
  for (const char* p = begin; p < end; ++p) {
    if (*p == '%' && end - p >= 3 && hex_digit(p[1]) >= 0 && hex_digit(p[2]) >= 0) {
      path += static_cast<char>(hex_digit(p[1]) * 16 + hex_digit(p[2]));
      p += 2;
    } else {
      path += *p;
    }
  }
  return path;
}

bool is_line_end(char c) { return c == '\r' || c == '\n'; }

int make_nonblocking(int socket) {
  const int flags = fcntl(socket, F_GETFL);
  return flags < 0 ? -1 : fcntl(socket, F_SETFL, flags | O_NONBLOCK);
}

}  // namespace

FirstLine first_request_path(const char* data, std::size_t size, std::string& path) {
  const char* p = data;
  const char* const end = data + size;
  while (p < end && is_line_end(*p)) ++p;
  const char* method_end = p;
  while (method_end < end && *method_end != ' ' && !is_line_end(*method_end)) ++method_end;
  if (method_end == end) return FirstLine::incomplete;
  if (*method_end != ' ' || method_end == p) return FirstLine::unusable;
  const char* target = method_end + 1;
  if (target == end) return FirstLine::incomplete;
  if (*target != '/') return FirstLine::unusable;  // absolute-form, '*' or garbage
  const char* target_end = target;
  while (target_end < end && *target_end != ' ' && *target_end != '?' &&
         !is_line_end(*target_end)) {
    ++target_end;
  }
  if (target_end == end) return FirstLine::incomplete;
  path = percent_decoded(target, target_end);
  return FirstLine::path;
}

bool headers_end_within(const char* data, std::size_t size) {
  const std::string_view bytes(data, size);
  return bytes.find("\r\n\r\n") != std::string_view::npos ||
         bytes.find("\n\n") != std::string_view::npos;
}

void ConnectionRouter::start(int listen_socket, std::size_t max_waiting, Choose choose,
                             Deliver deliver) {
  stop();
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  const int flags = listen_socket >= 0 ? make_nonblocking(listen_socket) : -1;
  epoll_event listen_event{};
  listen_event.events = EPOLLIN;
  listen_event.data.fd = listen_socket;
  epoll_event wake_event{};
  wake_event.events = EPOLLIN;
  wake_event.data.fd = wake_;
  if (epoll_ < 0 || wake_ < 0 || flags < 0 ||
      epoll_ctl(epoll_, EPOLL_CTL_ADD, listen_socket, &listen_event) != 0 ||
      epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &wake_event) != 0) {
    const int error = errno;
    if (epoll_ >= 0) ::close(epoll_);
    if (wake_ >= 0) ::close(wake_);
    epoll_ = wake_ = -1;
    throw ScsError(status::SCS_START_FAILED,
                   std::string("the connection router did not start: ") + std::strerror(error));
  }
  listen_ = listen_socket;
  listening_ = true;
  max_waiting_ = std::max(max_waiting, kMinWaiting);
  stopping_ = false;
  quiescing_ = false;
  choose_ = std::move(choose);
  deliver_ = std::move(deliver);
  thread_ = std::thread(&ConnectionRouter::run, this);
}

void ConnectionRouter::quiesce() {
  if (listen_ < 0 || quiescing_.exchange(true)) return;
  // Pending and new connections are refused by the system from here; the thread
  // takes the socket out of its set when it wakes.
  ::shutdown(listen_, SHUT_RD);
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
}

void ConnectionRouter::stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
  thread_.join();
  while (!waiting_.empty()) close_waiting(waiting_.begin());
  ::close(listen_);
  ::close(wake_);
  ::close(epoll_);
  listen_ = wake_ = epoll_ = -1;
}

void ConnectionRouter::run() noexcept {
  epoll_event events[64];
  while (!stopping_) {
    const int ready = epoll_wait(epoll_, events, 64, wait_ms(Clock::now()));
    guarded_callback("ConnectionRouter", [&] {
      for (int i = 0; i < ready; ++i) {
        const int fd = events[i].data.fd;
        if (fd == wake_) {
          std::uint64_t count = 0;
          [[maybe_unused]] const ssize_t got = ::read(wake_, &count, sizeof count);
        } else if (fd == listen_) {
          accept_all();
        } else {
          examine(fd);
        }
      }
      if (quiescing_ && listening_) {
        epoll_ctl(epoll_, EPOLL_CTL_DEL, listen_, nullptr);
        listening_ = false;
      }
      const Clock::time_point now = Clock::now();
      listen_again(now);
      hand_on_late(now);
    });
  }
}

void ConnectionRouter::accept_all() {
  for (;;) {
    Waiting w{};
    w.length = sizeof w.address;
    w.socket = ::accept4(listen_, reinterpret_cast<sockaddr*>(&w.address), &w.length,
                         SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (w.socket < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        epoll_event rest{};
        rest.data.fd = listen_;
        epoll_ctl(epoll_, EPOLL_CTL_MOD, listen_, &rest);
        paused_until_ = Clock::now() + kAcceptPause;
      }
      return;  // EAGAIN: all taken; EINVAL: quiesced
    }
    if (waiting_.size() >= max_waiting_) make_room();
    w.since = Clock::now();
    // Edge-triggered: each new segment wakes the router once, also while the bytes
    // already there stay unread.
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
    event.data.fd = w.socket;
    waiting_.push_back(w);
    by_socket_[w.socket] = std::prev(waiting_.end());
    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, w.socket, &event) != 0) {
      hand_on(std::prev(waiting_.end()), false);
    }
  }
}

void ConnectionRouter::examine(int socket) {
  const auto found = by_socket_.find(socket);
  if (found == by_socket_.end()) return;
  char bytes[kPeekBytes];
  const ssize_t got = ::recv(socket, bytes, sizeof bytes, MSG_PEEK | MSG_DONTWAIT);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (got <= 0) {  // gone before its first byte: there is nothing to serve
    close_waiting(found->second);
    return;
  }
  const auto size = static_cast<std::size_t>(got);
  const bool full = size == sizeof bytes;
  std::string path;
  const FirstLine line = first_request_path(bytes, size, path);
  if (line == FirstLine::incomplete && !full) return;
  if (line != FirstLine::path || !choose_(path)) {
    hand_on(found->second, false);
  } else if (headers_end_within(bytes, size)) {
    hand_on(found->second, true);
  } else if (full) {
    hand_on(found->second, false);  // more headers than a pooled connection takes
  }
}

void ConnectionRouter::make_room() {
  // In a burst of connections the router accepts before it reads: the oldest one's
  // request has most likely come meanwhile, so it is looked at once more before it is
  // handed on unread.
  const int oldest = waiting_.front().socket;
  examine(oldest);
  if (!waiting_.empty() && waiting_.front().socket == oldest) hand_on(waiting_.begin(), false);
}

void ConnectionRouter::hand_on(WaitingList::iterator waiting, bool pooled) {
  const Waiting w = *waiting;
  epoll_ctl(epoll_, EPOLL_CTL_DEL, w.socket, nullptr);
  by_socket_.erase(w.socket);
  waiting_.erase(waiting);
  deliver_(w.socket, reinterpret_cast<const sockaddr*>(&w.address), w.length, pooled);
}

void ConnectionRouter::close_waiting(WaitingList::iterator waiting) {
  by_socket_.erase(waiting->socket);
  ::close(waiting->socket);  // also leaves the epoll set
  waiting_.erase(waiting);
}

void ConnectionRouter::hand_on_late(Clock::time_point now) {
  while (!waiting_.empty() && now - waiting_.front().since >= kFirstLineWait) {
    hand_on(waiting_.begin(), false);
  }
}

void ConnectionRouter::listen_again(Clock::time_point now) {
  if (paused_until_ == Clock::time_point{} || now < paused_until_) return;
  paused_until_ = {};
  if (!listening_) return;
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = listen_;
  epoll_ctl(epoll_, EPOLL_CTL_MOD, listen_, &event);
}

int ConnectionRouter::wait_ms(Clock::time_point now) const {
  Clock::time_point until = Clock::time_point::max();
  if (!waiting_.empty()) until = waiting_.front().since + kFirstLineWait;
  if (paused_until_ != Clock::time_point{} && paused_until_ < until) until = paused_until_;
  if (until == Clock::time_point::max()) return -1;
  if (until <= now) return 0;
  // Rounded up, so that the wake-up finds the time passed.
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count() + 1);
}

}  // namespace qel::scs
