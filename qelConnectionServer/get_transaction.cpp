#include "qelConnectionServer/get_transaction.h"

namespace qel {
namespace funneltunnel {

get_transaction::~get_transaction() = default;

}  // namespace funneltunnel
}  // namespace qel
