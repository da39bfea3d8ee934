// processor: what an endpoint runs for each request on its resource.
//
// One processor object serves every request for its resource, on many request threads
// at once, so process() must be safe for concurrent calls. process() must see to it
// that complete() is called on the transaction exactly once, before it returns or
// later from another thread: the request thread waits for that without a time limit.
#ifndef QEL_FUNNELTUNNEL_PROCESSOR_H
#define QEL_FUNNELTUNNEL_PROCESSOR_H

#include <memory>

namespace qel {
namespace funneltunnel {

template <class Transaction>
class processor {
 public:
  virtual ~processor() = default;
  virtual void process(std::shared_ptr<Transaction> transaction) = 0;
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_PROCESSOR_H
