// reset_monitor: notices a tunnel that is reset again and again. One remote client
// resets once when it starts and after each empty poll answer (every 28 s or more);
// many resets a minute mean two clients are polling the same host and releasing each
// other's requests, or a client is stuck in a loop. record() says when to warn: at
// most once per window. Any thread.
#ifndef QEL_FUNNELTUNNEL_RESET_MONITOR_H
#define QEL_FUNNELTUNNEL_RESET_MONITOR_H

#include <cstdint>
#include <ctime>
#include <deque>

#include "qelToolsLib/qelMutex.h"

namespace qel {
namespace funneltunnel {

class reset_monitor {
 public:
  explicit reset_monitor(uint32_t threshold = 10, std::time_t window_s = 60)
      : threshold(threshold), window_s(window_s) {}

  // Records one reset at `now`. Returns the number of resets within the last window
  // when a warning is due (at least `threshold`, and no warning within the window),
  // else 0.
  uint32_t record(std::time_t now);

 private:
  const uint32_t threshold;
  const std::time_t window_s;
  qelMutex mutex;
  std::deque<std::time_t> recent QEL_GUARDED_BY(mutex);
  std::time_t last_warning QEL_GUARDED_BY(mutex) = 0;
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_RESET_MONITOR_H
