// http_connection: one HTTP/1.1 client connection driven by the event loop, for one
// exchange at a time, kept alive and reused between exchanges. libcurl makes the
// connection (CONNECT_ONLY: name resolution, TCP, TLS with the endpoint's files, proxy
// tunnel) without blocking the loop; the requests and responses are written and read
// here (http_wire), on the socket itself for plain TCP and through libcurl's
// curl_easy_send / curl_easy_recv over TLS. Buffers keep their capacity from one
// exchange to the next.
//
// A request on a reused connection that the server closed before answering anything is
// sent once more on a new connection, as libcurl does. Setting the exchange's abort flag
// and calling check_abort() ends it once its request has gone out in full (a poll that
// carries an answer still delivers it).
//
// Owned by a poller (or the stop's release poll); every call on the loop's thread. The
// listener is told once per exchange, from the loop; the response stays readable until
// the next start().
#ifndef QELCS_REMOTE_HTTP_CONNECTION_H
#define QELCS_REMOTE_HTTP_CONNECTION_H

#include <atomic>
#include <memory>
#include <string>
#include <string_view>

#include "event_loop.h"
#include "http_endpoint.h"
#include "http_wire.h"

typedef void CURL;
typedef void CURLM;

namespace qelcs_remote {

class http_connection : private event_loop::handler {
 public:
  class listener {
   public:
    virtual void on_exchange_done(http_connection& connection) = 0;

   protected:
    ~listener() = default;
  };

  http_connection(event_loop& loop, listener& owner);
  ~http_connection();
  http_connection(const http_connection&) = delete;
  http_connection& operator=(const http_connection&) = delete;

  // The endpoint of the next exchanges; a different one closes the open connection.
  void set_endpoint(const http_endpoint& endpoint);
  const http_endpoint& endpoint() const { return endpoint_; }

  // Starts an exchange: `target` is the path (and query) on the endpoint, `header_lines`
  // the request's headers ("Name: value\r\n" each; Host and Content-Length are added).
  // `body` must stay unchanged until the listener is told. `timeout_ms` bounds the
  // whole exchange (0: no bound); `abort` may be null.
  void start(std::string_view method, std::string_view target, std::string_view header_lines,
             std::string_view body, long timeout_ms, const std::atomic<bool>* abort);
  bool busy() const { return state_ != state::idle; }
  // Ends the exchange if its abort flag is set and its request has gone out in full.
  void check_abort();
  // Closes the connection (an exchange under way fails quietly: nobody is told).
  void close();

  // After the listener was told:
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }  // "URL: cause" when not ok()
  // A failed exchange: whether the request may have reached the server (false when the
  // name did not resolve or the connection or TLS handshake failed).
  bool may_have_reached_server() const { return reached_; }
  long status() const { return reader_.status(); }
  std::string_view header(std::string_view name) const { return reader_.header(input_, name); }
  std::string_view body() const { return reader_.body(input_); }
  const response_reader& reader() const { return reader_; }
  const std::string& input() const { return input_; }

 private:
  enum class state { idle, connecting, sending, receiving };
  friend struct curl_callbacks;

  void on_events(int fd, uint32_t events) override;
  void connect();
  void connected();
  void send_some();
  void receive_some();
  // Sends the request again on a new connection, or fails the exchange.
  void lost(const char* cause);
  void finish(bool ok);
  void fail(const std::string& cause, bool reached);
  void drop_connection();
  void drop_connector();
  // Watches the socket for `events`, asking epoll only when they change.
  void watch_socket(uint32_t events);
  // Raw I/O on the socket, or libcurl's over TLS: bytes moved, 0 for "try later", -1
  // with `error_` set when the connection failed, -2 when the peer closed it.
  long write_bytes(const char* data, std::size_t size);
  long read_bytes(char* data, std::size_t size);

  event_loop& loop_;
  listener& owner_;
  http_endpoint endpoint_;
  event_loop::timer deadline_;
  event_loop::timer curl_timer_;  // libcurl's time-out while connecting

  CURL* easy_ = nullptr;    // the connection's libcurl handle (connecting or connected)
  CURLM* multi_ = nullptr;  // drives easy_ while it connects
  int fd_ = -1;             // the connected socket
  uint32_t watched_ = 0;    // the events epoll watches on it
  bool raw_io_ = false;     // plain TCP: read and write the socket directly
  bool fresh_ = false;      // no exchange has completed on this connection yet
  std::unique_ptr<char[]> curl_error_;

  state state_ = state::idle;
  std::string method_;
  std::string head_;   // the request head, rebuilt for each exchange
  std::string_view body_;
  std::size_t sent_ = 0;  // of head_ + body_
  bool retried_ = false;
  const std::atomic<bool>* abort_ = nullptr;
  std::string input_;
  std::unique_ptr<char[]> scratch_;
  response_reader reader_;
  bool ok_ = false;
  bool reached_ = false;
  std::string error_;
  std::string target_;  // for error texts
};

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_HTTP_CONNECTION_H
