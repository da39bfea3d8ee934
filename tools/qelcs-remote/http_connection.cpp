// One client connection on the event loop.
#include "http_connection.h"

#include <curl/curl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <cerrno>
#include <cstring>

namespace qelcs_remote {

namespace {

constexpr long connect_timeout_ms = 10000;
constexpr std::size_t scratch_size = 64 * 1024;

}  // namespace

// libcurl's callbacks while a connection is being made: its sockets join the loop's
// epoll set with this connection as their handler, its time-out is a loop timer.
struct curl_callbacks {
  static int socket(CURL*, curl_socket_t fd, int what, void* user, void*) {
    auto* self = static_cast<http_connection*>(user);
    if (self->state_ != http_connection::state::connecting) return 0;  // connected: ours now
    if (what == CURL_POLL_REMOVE) {
      self->loop_.unwatch(fd);
      return 0;
    }
    const uint32_t events = ((what & CURL_POLL_IN) ? EPOLLIN : 0u) | ((what & CURL_POLL_OUT) ? EPOLLOUT : 0u);
    self->loop_.watch(fd, events, self);
    return 0;
  }
  static int timer(CURLM*, long timeout_ms, void* user) {
    auto* self = static_cast<http_connection*>(user);
    if (timeout_ms < 0) self->curl_timer_.cancel();
    else self->curl_timer_.set_in(std::chrono::milliseconds(timeout_ms));
    return 0;
  }
  // Drives libcurl after an event or its time-out, and takes the result once it has one.
  static void drive(http_connection& self, curl_socket_t fd, int mask) {
    int running = 0;
    curl_multi_socket_action(self.multi_, fd, mask, &running);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(self.multi_, &left)) {
      if (message->msg != CURLMSG_DONE || self.state_ != http_connection::state::connecting) continue;
      if (message->data.result == CURLE_OK) {
        self.connected();
        return;
      }
      const char* detail = self.curl_error_.get();
      self.fail(std::string(curl_easy_strerror(message->data.result)) +
                    (detail[0] != '\0' ? std::string(" (") + detail + ")" : std::string()),
                false);
      return;
    }
  }
};

http_connection::http_connection(event_loop& loop, listener& owner)
    : loop_(loop), owner_(owner),
      deadline_(loop, [this] { fail("Timeout was reached", reached_ || state_ != state::connecting); }),
      curl_timer_(loop, [this] { curl_callbacks::drive(*this, CURL_SOCKET_TIMEOUT, 0); }),
      multi_(curl_multi_init()), curl_error_(new char[CURL_ERROR_SIZE]()),
      scratch_(new char[scratch_size]) {
  curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, curl_callbacks::socket);
  curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, curl_callbacks::timer);
  curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
}

http_connection::~http_connection() {
  state_ = state::idle;
  drop_connection();
  curl_multi_cleanup(multi_);
}

void http_connection::set_endpoint(const http_endpoint& endpoint) {
  drop_connection();
  endpoint_ = endpoint;
}

void http_connection::start(std::string_view method, std::string_view target, std::string_view header_lines,
                            std::string_view body, long timeout_ms, const std::atomic<bool>* abort) {
  // A response with bytes after it is not one this client can trust the connection after.
  if (input_.size() > reader_.consumed()) drop_connection();
  input_.clear();
  method_.assign(method);
  target_.assign(endpoint_.origin).append(target);
  head_.clear();
  write_request_head(head_, method, endpoint_.absolute_form ? std::string_view(target_) : target,
                     endpoint_.authority, header_lines, body.size(), endpoint_.proxy_authorization);
  body_ = body;
  sent_ = 0;
  retried_ = false;
  abort_ = abort;
  ok_ = reached_ = false;
  error_.clear();
  reader_.start(method == "HEAD");
  if (timeout_ms > 0) deadline_.set_in(std::chrono::milliseconds(timeout_ms));
  if (fd_ < 0) {
    connect();
    return;
  }
  state_ = state::sending;
  send_some();
}

void http_connection::connect() {
  drop_connection();
  easy_ = curl_easy_init();
  if (easy_ == nullptr) {
    fail("cannot create a libcurl handle", false);
    return;
  }
  curl_error_[0] = '\0';
  const std::string url = endpoint_.origin + "/";
  const tls_options& tls = endpoint_.options;
  curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy_, CURLOPT_CONNECT_ONLY, 1L);
  curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, curl_error_.get());
  curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, connect_timeout_ms);
  curl_easy_setopt(easy_, CURLOPT_SSLVERSION, CURL_SSLVERSION_TLSv1_2);
  if (!tls.cacert.empty()) curl_easy_setopt(easy_, CURLOPT_CAINFO, tls.cacert.c_str());
  if (!tls.cert.empty()) curl_easy_setopt(easy_, CURLOPT_SSLCERT, tls.cert.c_str());
  if (!tls.key.empty()) curl_easy_setopt(easy_, CURLOPT_SSLKEY, tls.key.c_str());
  if (tls.insecure) {
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 0L);
  }
  // An empty proxy turns the *_proxy variables off; an empty no-proxy list makes a named
  // proxy apply to every host.
  if (endpoint_.proxy_decided) {
    curl_easy_setopt(easy_, CURLOPT_PROXY, endpoint_.proxy.c_str());
    if (!endpoint_.proxy.empty()) curl_easy_setopt(easy_, CURLOPT_NOPROXY, "");
  }
  state_ = state::connecting;
  fresh_ = true;
  curl_multi_add_handle(multi_, easy_);  // sets libcurl's timer: the loop drives it from there
}

void http_connection::connected() {
  curl_socket_t socket = CURL_SOCKET_BAD;
  curl_easy_getinfo(easy_, CURLINFO_ACTIVESOCKET, &socket);
  fd_ = static_cast<int>(socket);
  curl_timer_.cancel();
  raw_io_ = !endpoint_.tls && (endpoint_.proxy.empty() ||
                               (endpoint_.absolute_form && endpoint_.proxy.compare(0, 6, "https:") != 0));
  state_ = state::sending;
  watched_ = 0;
  if (fd_ < 0 || !loop_.watch(fd_, EPOLLIN, this)) {
    fail("the connection has no socket", false);
    return;
  }
  watched_ = EPOLLIN;
  send_some();
}

long http_connection::write_bytes(const char* data, std::size_t size) {
  if (raw_io_) {
    const ssize_t n = send(fd_, data, size, MSG_NOSIGNAL);
    if (n >= 0) return n;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    error_ = std::strerror(errno);
    return -1;
  }
  size_t n = 0;
  const CURLcode result = curl_easy_send(easy_, data, size, &n);
  if (result == CURLE_OK) return static_cast<long>(n);
  if (result == CURLE_AGAIN) return 0;
  error_ = curl_easy_strerror(result);
  return -1;
}

long http_connection::read_bytes(char* data, std::size_t size) {
  if (raw_io_) {
    const ssize_t n = recv(fd_, data, size, 0);
    if (n > 0) return n;
    if (n == 0) return -2;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    error_ = std::strerror(errno);
    return -1;
  }
  size_t n = 0;
  const CURLcode result = curl_easy_recv(easy_, data, size, &n);
  if (result == CURLE_OK) return n > 0 ? static_cast<long>(n) : -2;
  if (result == CURLE_AGAIN) return 0;
  error_ = curl_easy_strerror(result);
  return -1;
}

void http_connection::send_some() {
  const std::size_t total = head_.size() + body_.size();
  while (sent_ < total) {
    long n;
    if (raw_io_ && sent_ < head_.size() && !body_.empty()) {
      // Head and body in one system call.
      iovec parts[2] = {{&head_[sent_], head_.size() - sent_},
                        {const_cast<char*>(body_.data()), body_.size()}};
      msghdr message{};
      message.msg_iov = parts;
      message.msg_iovlen = 2;
      const ssize_t written = sendmsg(fd_, &message, MSG_NOSIGNAL);
      n = written >= 0 ? written : (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? 0 : -1;
      if (n < 0) error_ = std::strerror(errno);
    } else if (sent_ < head_.size()) {
      n = write_bytes(head_.data() + sent_, head_.size() - sent_);
    } else {
      n = write_bytes(body_.data() + (sent_ - head_.size()), total - sent_);
    }
    if (n < 0) {
      lost(error_.c_str());
      return;
    }
    if (n == 0) {
      watch_socket(EPOLLOUT);
      return;
    }
    sent_ += static_cast<std::size_t>(n);
    reached_ = true;
  }
  state_ = state::receiving;
  watch_socket(EPOLLIN);
  check_abort();
}

void http_connection::receive_some() {
  bool closed = false;
  for (;;) {
    const long n = read_bytes(scratch_.get(), scratch_size);
    if (n == 0) break;
    if (n == -2) {
      closed = true;
      break;
    }
    if (n < 0) {
      lost(error_.c_str());
      return;
    }
    input_.append(scratch_.get(), static_cast<std::size_t>(n));
    if (static_cast<std::size_t>(n) < scratch_size && raw_io_) break;  // drained for now
  }
  switch (reader_.parse(input_, closed)) {
    case response_reader::progress::more: return;
    case response_reader::progress::done: finish(true); return;
    case response_reader::progress::failed:
      if (closed && input_.empty()) lost("Empty reply from server");
      else fail(reader_.error(), true);
      return;
  }
}

void http_connection::lost(const char* cause) {
  // A kept-alive connection the server had closed meanwhile: try once on a new one.
  if (!fresh_ && !retried_ && input_.empty()) {
    retried_ = true;
    drop_connection();
    sent_ = 0;
    connect();
    return;
  }
  fail(cause, reached_);
}

void http_connection::on_events(int fd, uint32_t events) {
  if (state_ == state::connecting) {
    const int mask = ((events & EPOLLIN) ? CURL_CSELECT_IN : 0) | ((events & EPOLLOUT) ? CURL_CSELECT_OUT : 0) |
                     ((events & (EPOLLERR | EPOLLHUP)) ? CURL_CSELECT_ERR : 0);
    curl_callbacks::drive(*this, fd, mask);
    return;
  }
  if (fd != fd_) return;
  if (state_ == state::sending) {
    send_some();
  } else if (state_ == state::receiving) {
    receive_some();
  } else {
    // Idle: the server closed the kept-alive connection, or sent what nobody asked for.
    drop_connection();
  }
}

void http_connection::check_abort() {
  if (abort_ == nullptr || !abort_->load()) return;
  if (state_ == state::connecting) fail("Callback aborted", false);
  else if (state_ == state::receiving) fail("Callback aborted", true);
}

void http_connection::finish(bool ok) {
  deadline_.cancel();
  if (ok) fresh_ = false;
  if (!ok || !reader_.keep_alive()) drop_connection();
  state_ = state::idle;
  ok_ = ok;
  owner_.on_exchange_done(*this);
}

void http_connection::fail(const std::string& cause, bool reached) {
  error_ = target_ + ": " + cause;
  reached_ = reached;
  finish(false);
}

void http_connection::close() {
  deadline_.cancel();
  drop_connection();
  state_ = state::idle;
}

void http_connection::watch_socket(uint32_t events) {
  if (events == watched_) return;
  loop_.watch(fd_, events, this);
  watched_ = events;
}

void http_connection::drop_connection() {
  if (fd_ >= 0) loop_.unwatch(fd_);
  fd_ = -1;
  watched_ = 0;
  drop_connector();
}

void http_connection::drop_connector() {
  curl_timer_.cancel();
  if (easy_ == nullptr) return;
  // libcurl owns the socket and closes it here.
  curl_multi_remove_handle(multi_, easy_);
  curl_easy_cleanup(easy_);
  easy_ = nullptr;
}

}  // namespace qelcs_remote
