// reverse_forwarder_endpoint: takes callers' requests for the remote client of a
// reverse tunnel. Its POST processor hands each request to a parked poll, or queues
// it until the next poll. A member of its reverse funnel, which it does not own;
// processors run on request threads, many at once.
#ifndef QEL_FUNNELTUNNEL_REVERSE_FORWARDER_ENDPOINT_H
#define QEL_FUNNELTUNNEL_REVERSE_FORWARDER_ENDPOINT_H

#include "qelConnectionServer/endpoint.h"

namespace qel {
namespace funneltunnel {

class reverse_funnel;

class reverse_forwarder_endpoint : public endpoint {
 public:
  explicit reverse_forwarder_endpoint(reverse_funnel& funnel);
  ~reverse_forwarder_endpoint() override;

  reverse_funnel& funnel;
};

namespace rfe {

class post_processor : public processor<post_transaction> {
 public:
  explicit post_processor(reverse_forwarder_endpoint& owner) : owner(owner) {}
  void process(std::shared_ptr<post_transaction> request) override;

 private:
  reverse_forwarder_endpoint& owner;
};

class get_processor : public processor<get_transaction> {
 public:
  void process(std::shared_ptr<get_transaction>) override {}
};

}  // namespace rfe
}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_REVERSE_FORWARDER_ENDPOINT_H
