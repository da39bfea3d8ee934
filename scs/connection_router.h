// Accepts the connections of an endpoint that two HTTP daemons serve on one port, and
// hands each to one of them by the path of its first request: a resource whose callback
// never waits goes to the daemon with a worker pool, anything else to the daemon with a
// thread per connection.
//
// The request line and headers are read with MSG_PEEK, so the chosen daemon reads the
// request from the start. A connection goes to the pool only when its first request's
// headers end within kPeekBytes (the pool's connections have less memory for headers).
// One whose request does not come within kFirstLineWait, whose headers are longer, or
// that does not start with a request line goes to the thread-per-connection daemon,
// which applies the endpoint's limits as it always did; so does the oldest one waiting
// when `max_waiting` wait at once (at least kMinWaiting), if its request is still not
// there. No connection is refused or answered here.
//
// Owned by its HttpDaemon. start(), quiesce() and stop() from the thread that starts,
// quiesces and stops the daemon; `choose` and `deliver` run on the router's own thread.
#pragma once

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <list>
#include <string>
#include <thread>
#include <unordered_map>

namespace qel::scs {

class ConnectionRouter {
 public:
  // True when the connection whose first request has this path (decoded, without the
  // query) goes to the daemon with the worker pool.
  using Choose = std::function<bool(const std::string& path)>;
  // Takes over the socket (it must close it if it cannot serve it).
  using Deliver =
      std::function<void(int socket, const sockaddr* address, socklen_t length, bool pooled)>;

  static constexpr std::chrono::milliseconds kFirstLineWait{1000};
  static constexpr std::size_t kMinWaiting = 128;
  static constexpr std::size_t kPeekBytes = 4096;

  ConnectionRouter() = default;
  ~ConnectionRouter() { stop(); }
  ConnectionRouter(const ConnectionRouter&) = delete;
  ConnectionRouter& operator=(const ConnectionRouter&) = delete;

  // Takes over the listening socket and starts accepting; throws ScsError. A burst of
  // clients connects before it sends, so up to `max_waiting` connections wait for
  // their first request here.
  void start(int listen_socket, std::size_t max_waiting, Choose choose, Deliver deliver);
  // Accepts no more connections (the system refuses new ones at once); those accepted
  // already are still handed on.
  void quiesce();
  // Ends the thread and closes the listening socket and the connections still waiting.
  void stop();

 private:
  struct Waiting {
    int socket;
    sockaddr_storage address;
    socklen_t length;
    std::chrono::steady_clock::time_point since;
  };
  using WaitingList = std::list<Waiting>;

  void run() noexcept;
  void accept_all();
  void examine(int socket);
  void make_room();
  void hand_on(WaitingList::iterator waiting, bool pooled);
  void close_waiting(WaitingList::iterator waiting);
  void hand_on_late(std::chrono::steady_clock::time_point now);
  int wait_ms(std::chrono::steady_clock::time_point now) const;
  void listen_again(std::chrono::steady_clock::time_point now);

  int listen_ = -1;
  int epoll_ = -1;
  int wake_ = -1;  // eventfd: stop or quiesce
  std::atomic<bool> stopping_{false};
  std::atomic<bool> quiescing_{false};
  bool listening_ = false;  // router thread only
  std::size_t max_waiting_ = kMinWaiting;
  std::chrono::steady_clock::time_point paused_until_{};  // out of descriptors: accept later
  Choose choose_;
  Deliver deliver_;
  WaitingList waiting_;  // oldest first; router thread only
  std::unordered_map<int, WaitingList::iterator> by_socket_;
  std::thread thread_;
};

// What the first bytes of a connection tell about its first request.
enum class FirstLine { incomplete, path, unusable };

// The path of the request line at the start of `data` (empty lines before it skipped):
// percent-escapes decoded as libmicrohttpd decodes them, without the query. `unusable`
// for anything but an origin-form request line.
FirstLine first_request_path(const char* data, std::size_t size, std::string& path);

// True when `data` holds the end of the request's header block (an empty line).
bool headers_end_within(const char* data, std::size_t size);

}  // namespace qel::scs
