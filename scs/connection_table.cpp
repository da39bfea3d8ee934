#include "scs/connection_table.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include "scs/direct_answer.h"
#include "scs/log.h"

namespace qel::scs {

std::atomic<std::size_t> ConnectionTable::open_in_process_{0};

namespace {

const char* refusal_text(Refusal reason) {
  switch (reason) {
    case Refusal::address: return "too many connections from your address, try again later";
    case Refusal::descriptors: return "the server has no connection to spare, try again later";
    default: return "the server is busy, try again later";
  }
}

}  // namespace

std::string address_key(const sockaddr* address) {
  char host[INET6_ADDRSTRLEN] = "";
  if (address == nullptr) return host;
  if (address->sa_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, host,
              sizeof host);
  } else if (address->sa_family == AF_INET6) {
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, host,
              sizeof host);
  }
  return host;
}

ConnectionTable::ConnectionTable(const ConnectionLimits& limits, CountedLog& log)
    : limits_(limits), log_(log) {}

ConnectionTable::~ConnectionTable() {
  std::lock_guard<std::mutex> lock(mutex_);
  open_in_process_ -= connections_.size();  // a daemon that failed to start closes none
}

void ConnectionTable::set_label(const std::string& label) {
  std::lock_guard<std::mutex> lock(mutex_);
  label_ = label;
}

ConnectionLimits ConnectionTable::limits() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return limits_;
}

void ConnectionTable::set_limits(const ConnectionLimits& limits) {
  std::lock_guard<std::mutex> lock(mutex_);
  limits_ = limits;
}

Connection* ConnectionTable::opened(int socket, const sockaddr* address, bool tls) {
  auto record = std::make_unique<Connection>();
  record->socket = socket;
  record->tls = tls;
  record->address = address_key(address);
  const Clock::time_point now = Clock::now();
  record->since = now;
  Refusal refused;
  Connection* connection = record.get();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++open_in_process_;
    refused = admit_locked(*record, now);
    record->refused = refused;
    connections_.push_back(std::move(record));
    index_[connection] = std::prev(connections_.end());
  }
  if (refused != Refusal::none) count_refusal(refused);
  return connection;
}

Refusal ConnectionTable::admit_locked(Connection& connection, Clock::time_point now) {
  if (limits_.descriptors != 0 && open_in_process_.load() > limits_.descriptors) {
    return Refusal::descriptors;
  }
  const auto from_address = per_address_.find(connection.address);
  if (limits_.per_address != 0 && from_address != per_address_.end() &&
      from_address->second >= limits_.per_address) {
    return Refusal::address;
  }
  // An eviction may change the per-address counts: look them up again afterwards.
  if (admitted_ >= limits_.connections && !evict_locked(now)) return Refusal::endpoint;
  ++per_address_[connection.address];
  ++admitted_;
  return Refusal::none;
}

// The oldest admitted connection still waiting for its request headers (or, kept
// alive, for its next request) makes room.
bool ConnectionTable::evict_locked(Clock::time_point now) {
  for (const auto& candidate : connections_) {
    Connection& c = *candidate;
    if (c.refused != Refusal::none) continue;
    if (c.phase != Phase::fresh && c.phase != Phase::headers && c.phase != Phase::idle) continue;
    if (now - c.since < kEvictableAfter) return false;  // the rest are younger still
    end_locked(c, true);
    log_.count(label_ + "/evicted",
               {MSL_LOG_WARNING, "HttpDaemon", label_ + " closed ",
                " connections that were still waiting for their request headers, to make room "
                "for new ones (connection limit " + std::to_string(limits_.connections) + ")"});
    return true;
  }
  return false;
}

void ConnectionTable::closed(Connection* connection) {
  if (connection == nullptr) return;
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = index_.find(connection);
  if (it == index_.end()) return;
  if (connection->phase != Phase::ended) release_locked(*connection);
  connections_.erase(it->second);
  index_.erase(it);
  --open_in_process_;
}

void ConnectionTable::release_locked(Connection& connection) {
  if (connection.refused != Refusal::none) return;
  --admitted_;
  const auto it = per_address_.find(connection.address);
  if (it != per_address_.end() && --it->second == 0) per_address_.erase(it);
}

void ConnectionTable::request_line(Connection* connection) {
  if (connection == nullptr) return;
  std::lock_guard<std::mutex> lock(mutex_);
  // The first request's clock runs from the accept; a later one's from its request line.
  if (connection->phase == Phase::idle) connection->since = Clock::now();
  if (connection->phase == Phase::idle || connection->phase == Phase::fresh) {
    connection->phase = Phase::headers;
  }
}

bool ConnectionTable::headers_done(Connection* connection, Clock::time_point now) {
  if (connection == nullptr) return true;
  std::lock_guard<std::mutex> lock(mutex_);
  if (connection->phase == Phase::ended) return false;
  connection->phase = Phase::body;
  connection->since = now;
  connection->body_bytes = 0;
  return true;
}

void ConnectionTable::body_received(Connection* connection, std::size_t bytes) {
  if (connection == nullptr) return;
  std::lock_guard<std::mutex> lock(mutex_);
  connection->body_bytes += bytes;
}

bool ConnectionTable::serving(Connection* connection) {
  if (connection == nullptr) return true;
  std::lock_guard<std::mutex> lock(mutex_);
  if (connection->phase == Phase::ended) return false;
  connection->phase = Phase::serving;
  return true;
}

bool ConnectionTable::request_ended(Connection* connection) {
  if (connection == nullptr) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (connection->phase == Phase::ended) {
    const bool owed = connection->owes_timeout;
    connection->owes_timeout = false;
    return owed;
  }
  connection->phase = Phase::idle;
  connection->since = Clock::now();
  return false;
}

bool ConnectionTable::overdue(const Connection& c, Clock::time_point now) const {
  const auto waited = now - c.since;
  switch (c.phase) {
    case Phase::fresh:
    case Phase::headers:
      if (c.refused != Refusal::none) {
        return waited >= std::min<std::chrono::seconds>(kRefusedGrace, limits_.header_timeout);
      }
      return waited >= limits_.header_timeout;
    case Phase::idle:
      return waited >= limits_.header_timeout;
    case Phase::body: {
      if (limits_.body_min_rate == 0) return false;
      // The header time-out as a start, and one second more per body_min_rate bytes.
      const auto allowed = std::chrono::duration_cast<Clock::duration>(
          limits_.header_timeout + std::chrono::duration<double>(
                                       static_cast<double>(c.body_bytes) / limits_.body_min_rate));
      return waited >= allowed;
    }
    default:
      return false;
  }
}

void ConnectionTable::end_overdue(Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& record : connections_) {
    Connection& c = *record;
    if (!overdue(c, now)) continue;
    const Phase phase = c.phase;
    const bool refused = c.refused != Refusal::none;
    end_locked(c, true);
    if (refused || phase == Phase::idle) continue;  // counted when refused; idle is routine
    const bool body = phase == Phase::body;
    log_.count(label_ + (body ? "/slow-body" : "/slow-headers"),
               {MSL_LOG_INFO, "HttpDaemon", label_ + " ended ",
                body ? " requests whose body came slower than body_min_rate (" +
                           std::to_string(limits_.body_min_rate) + " bytes/s after " +
                           std::to_string(limits_.header_timeout.count()) + " s)"
                     : " connections that had not sent their request headers within "
                       "header_timeout (" +
                           std::to_string(limits_.header_timeout.count()) + " s)"});
  }
}

// Ends a connection on another thread than its own. In the body phase its thread
// writes the 408 (it owns the TLS session): shutting down the receiving side wakes it
// with an end of input. Before the headers the thread writes nothing, so a plain
// socket gets its answer here; a TLS one is closed without an answer.
void ConnectionTable::end_locked(Connection& c, bool answer) {
  if (c.phase != Phase::ended) release_locked(c);
  if (c.phase == Phase::body) {
    c.owes_timeout = answer;
    ::shutdown(c.socket, SHUT_RD);
  } else {
    if (answer && !c.tls && (c.phase == Phase::fresh || c.phase == Phase::headers)) {
      if (c.refused != Refusal::none) {
        write_plain_answer(c.socket, 503, refusal_text(c.refused), kRetryAfterBusy);
      } else {
        write_plain_answer(c.socket, 408, "the request headers did not arrive in time");
      }
    }
    ::shutdown(c.socket, SHUT_RDWR);
  }
  c.phase = Phase::ended;
}

void ConnectionTable::count_refusal(Refusal reason) {
  std::string what;
  std::lock_guard<std::mutex> lock(mutex_);
  switch (reason) {
    case Refusal::address:
      what = "per-address limit " + std::to_string(limits_.per_address);
      break;
    case Refusal::descriptors:
      what = "the process holds " + std::to_string(limits_.descriptors) +
             " connections, what its open-file limit allows";
      break;
    default:
      what = "connection limit " + std::to_string(limits_.connections);
  }
  log_.count(label_ + "/refused/" + what,
             {MSL_LOG_WARNING, "HttpDaemon", label_ + " refused ", " connections (" + what + ")"});
}

std::size_t ConnectionTable::admitted() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return admitted_;
}

std::size_t ConnectionTable::busy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t count = 0;
  for (const auto& connection : connections_) {
    const Phase phase = connection->phase;
    count += phase == Phase::headers || phase == Phase::body || phase == Phase::serving;
  }
  return count;
}

const char* refusal_answer(Refusal reason) { return refusal_text(reason); }

}  // namespace qel::scs
