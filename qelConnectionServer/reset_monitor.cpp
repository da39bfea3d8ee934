#include "qelConnectionServer/reset_monitor.h"

namespace qel {
namespace funneltunnel {

uint32_t reset_monitor::record(std::time_t now) {
  qelMutexLock guard(mutex);
  recent.push_back(now);
  while (!recent.empty() && recent.front() <= now - window_s) recent.pop_front();
  const auto count = static_cast<uint32_t>(recent.size());
  if (count < threshold || (last_warning != 0 && now - last_warning < window_s)) return 0;
  last_warning = now;
  return count;
}

}  // namespace funneltunnel
}  // namespace qel
