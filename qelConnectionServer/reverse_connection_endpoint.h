// reverse_connection_endpoint: serves the remote client of a reverse tunnel. Each poll
// may carry the answer to an earlier caller request (named by its flow id), reset the
// tunnel (no flow id) or join it (the id "join": another poller, no reset); then it
// carries the next waiting caller request or is parked. A poll that names its client
// ("X-QEL-Client") may also be a presence poll or its client's final one
// (declared_clients.h). A member of its reverse funnel, which it does not own;
// processors run on request threads, many at once.
#ifndef QEL_FUNNELTUNNEL_REVERSE_CONNECTION_ENDPOINT_H
#define QEL_FUNNELTUNNEL_REVERSE_CONNECTION_ENDPOINT_H

#include <atomic>
#include <cstdint>
#include <string>

#include "qelConnectionServer/endpoint.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

class reverse_funnel;

// The status an answer gives its caller: the unsigned decimal number the status
// header begins with (after white space); 502 when it does not begin with a digit or
// the number is not a final HTTP status (200 to 599).
uint32_t answer_status(const std::string& status_header);

// The X-QEL-Message-Id of a poll that adds itself to the tunnel without resetting it
// or answering (a further parallel poller). Flow ids are decimal, so it names none.
constexpr const char* join_poll = "join";

class reverse_connection_endpoint : public endpoint {
 public:
  explicit reverse_connection_endpoint(reverse_funnel& funnel);
  ~reverse_connection_endpoint() override;

  reverse_funnel& funnel;
};

namespace rce {

class post_processor : public processor<post_transaction> {
 public:
  explicit post_processor(reverse_connection_endpoint& owner) : owner(owner) {}
  void process(std::shared_ptr<post_transaction> poll) override;

 private:
  // Completes the caller request named by `flow_id` with the poll's answer. An answer
  // for a caller that gave up, or for another host process, is dropped; an unknown id
  // throws funneltunnel_exception "flow not found", unless the poll's client declared
  // itself (`declared`), whose answer is then dropped too.
  void answer(post_transaction& poll, const std::string& flow_id, bool declared);
  static void drop(ud_block_ref block, post_transaction& poll, std::atomic<uint64_t>& counter,
                   const char* why);
  // Completes the poll with 400: a tunnel header appears twice.
  static void refuse_ambiguous(post_transaction& poll);

  reverse_connection_endpoint& owner;
};

class get_processor : public processor<get_transaction> {
 public:
  void process(std::shared_ptr<get_transaction>) override {}
};

}  // namespace rce
}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_REVERSE_CONNECTION_ENDPOINT_H
