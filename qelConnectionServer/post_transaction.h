// post_transaction: a transaction for an HTTP POST; adds the request body.
// Same ownership and thread rules as raw_transaction.
#ifndef QEL_FUNNELTUNNEL_POST_TRANSACTION_H
#define QEL_FUNNELTUNNEL_POST_TRANSACTION_H

#include <ctime>

#include "qelConnectionServer/transaction.h"

namespace qel {
namespace funneltunnel {

class post_transaction : public raw_transaction {
 public:
  post_transaction() = default;
  ~post_transaction() override;
  void debug_dump() override;

  filestring request_data;  // the body of the POST
  // When a poll was parked (seconds since the epoch); written before it is queued.
  std::time_t parked_at = 0;
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_POST_TRANSACTION_H
