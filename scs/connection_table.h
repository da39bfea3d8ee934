// The connections of one HTTP daemon as the library counts them, and the limits that
// answer: the endpoint's connection limit, the per-address limit, the process's
// descriptors, the header time-out and the body's minimum rate.
//
// libmicrohttpd closes a connection over its own limits without a word, so the daemon
// runs it with limits above these and tells this table of every connection it opens
// and closes. A connection over a limit here is not closed but marked refused: the
// request handler answers its first request 503 (with Retry-After) and closes it. When
// the endpoint is full, a new connection first evicts the oldest connection that has
// waited at least kEvictableAfter for its request headers (a slow-loris defence), so a
// client that sends its request promptly gets in. The ticker ends connections whose
// headers or body are late: 408 where it can still be written, then the close.
//
// Phases of a connection: fresh (accepted, no request yet) -> headers (request line
// in) -> body (headers done, receiving the body) -> serving (callback or answer) ->
// idle (answer sent, keep-alive) -> headers ... ; ended once this table has ended it.
//
// Owned by its HttpDaemon. opened() runs on libmicrohttpd's accept thread, closed() on
// its cleanup thread, the phase calls on the connection's thread, end_overdue() on the
// daemon's ticker; one mutex guards everything. A record lives from opened() to
// closed(), and the socket stays open for as long as the record exists, so the
// ticker's shutdown() under the mutex never reaches another socket.
#pragma once

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "scs/counted_log.h"

namespace qel::scs {

using Clock = std::chrono::steady_clock;

enum class Phase { fresh, headers, body, serving, idle, ended };
enum class Refusal { none, endpoint, address, descriptors };

struct Connection {
  int socket = -1;
  bool tls = false;
  std::string address;  // the client's address without its port: the per-address key
  Refusal refused = Refusal::none;
  Phase phase = Phase::fresh;
  Clock::time_point since;      // when the phase began (fresh: accepted)
  std::uint64_t body_bytes = 0;  // received in the body phase
  bool owes_timeout = false;     // ended in the body phase: its thread answers 408
  // The request-target of the current request as received. Written and read only by
  // the thread that handles the connection's requests, one request after another, so
  // it is the one field outside the table's mutex.
  std::string target;
};

struct ConnectionLimits {
  unsigned connections = 1000;
  unsigned per_address = 0;  // 0: none
  std::chrono::seconds header_timeout{20};
  unsigned body_min_rate = 0;  // bytes/s, 0: none
  std::size_t descriptors = 0;  // connections the process may hold in all (0: no check)
};

class ConnectionTable {
 public:
  // A connection that has waited this long for its headers may be evicted.
  static constexpr std::chrono::milliseconds kEvictableAfter{1000};
  // A refused connection gets at most this long to send the request its 503 answers.
  static constexpr std::chrono::seconds kRefusedGrace{5};

  ConnectionTable(const ConnectionLimits& limits, CountedLog& log);
  ~ConnectionTable();
  ConnectionTable(const ConnectionTable&) = delete;
  ConnectionTable& operator=(const ConnectionTable&) = delete;
  // Names the endpoint in log lines ("endpoint 'default' at 127.0.0.1:18080").
  void set_label(const std::string& label);
  // The limits in force; a reload replaces them for the next admission and check
  // (connections already admitted stay, also above a lowered limit).
  ConnectionLimits limits() const;
  void set_limits(const ConnectionLimits& limits);

  Connection* opened(int socket, const sockaddr* address, bool tls);
  void closed(Connection* connection);

  void request_line(Connection* connection);
  // False when the connection was ended meanwhile: the request must not go on. `now`:
  // the time the headers were complete.
  bool headers_done(Connection* connection, Clock::time_point now);
  void body_received(Connection* connection, std::size_t bytes);
  // False when the connection was ended meanwhile.
  bool serving(Connection* connection);
  // The request has ended. True (once) when the ticker ended its body for slowness and
  // the caller, on the connection's thread, owes the client a 408.
  bool request_ended(Connection* connection);

  // Ends connections whose headers or body are late.
  void end_overdue(Clock::time_point now);

  std::size_t admitted() const;
  // Connections with a request under way (its headers, body, callback or answer).
  std::size_t busy() const;
  // Connections open in the whole process (all daemons), for the descriptor check.
  static std::size_t process_connections() { return open_in_process_.load(); }

 private:
  using List = std::list<std::unique_ptr<Connection>>;

  Refusal admit_locked(Connection& connection, Clock::time_point now);
  bool evict_locked(Clock::time_point now);
  void end_locked(Connection& connection, bool answer);
  void release_locked(Connection& connection);
  bool overdue(const Connection& connection, Clock::time_point now) const;
  void count_refusal(Refusal reason);

  ConnectionLimits limits_;  // under mutex_
  CountedLog& log_;
  std::string label_;
  mutable std::mutex mutex_;
  List connections_;  // oldest first
  std::unordered_map<const Connection*, List::iterator> index_;
  std::unordered_map<std::string, unsigned> per_address_;
  std::size_t admitted_ = 0;
  static std::atomic<std::size_t> open_in_process_;
};

// The one-line text of a 503 for a connection refused for `reason`.
const char* refusal_answer(Refusal reason);

// "127.0.0.1" or "2001:db8::7" ("" when the address is not IP).
std::string address_key(const sockaddr* address);

}  // namespace qel::scs
