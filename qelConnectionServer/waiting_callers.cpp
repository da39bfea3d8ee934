#include "qelConnectionServer/waiting_callers.h"

namespace qel {
namespace funneltunnel {

std::shared_ptr<void> waiting_callers::admit(uint32_t limit) {
  uint32_t now = waiting.load();
  do {
    if (limit != 0 && now >= limit) return nullptr;
  } while (!waiting.compare_exchange_weak(now, now + 1));
  auto self = shared_from_this();
  // The token's deleter gives the place back; it keeps the count alive until then.
  return std::shared_ptr<void>(self.get(), [self](void*) { --self->waiting; });
}

}  // namespace funneltunnel
}  // namespace qel
