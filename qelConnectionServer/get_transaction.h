// get_transaction: the transaction type of the GET processors. GET requests are not
// served; the type exists so that endpoints have both processor slots.
#ifndef QEL_FUNNELTUNNEL_GET_TRANSACTION_H
#define QEL_FUNNELTUNNEL_GET_TRANSACTION_H

#include "qelConnectionServer/transaction.h"

namespace qel {
namespace funneltunnel {

class get_transaction : public raw_transaction {
 public:
  get_transaction() = default;
  ~get_transaction() override;
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_GET_TRANSACTION_H
