// internal/jssemresult.h - turns a POSIX semaphore call's -1/errno result into the
// toolkit's wait results. Shared by the two semaphore classes.
#pragma once

#include <semaphore.h>
#include <time.h>

#include <cerrno>
#include <cstdint>

#include "qelToolsLib/jsbase.h"

namespace qelToolsLib {
namespace internal {

// rc: the semaphore call's return value. sem_trywait reports a zero count as EAGAIN;
// that is the "busy" result, not a failure.
inline int jsSemResult(int rc) noexcept {
  if (rc == 0) return jsWaitSuccess;
  return errno == EAGAIN ? jsWaitTimeout : jsMapWaitResult(errno);
}

// sem_timedwait measures against CLOCK_REALTIME.
inline int jsSemTimedWait(sem_t* sem, uint32_t timeoutMs) {
  if (timeoutMs == jsInfinite) return jsSemResult(sem_wait(sem));
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  ts.tv_sec += timeoutMs / 1000;
  ts.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
  if (ts.tv_nsec >= 1000000000L) {
    ts.tv_sec += 1;
    ts.tv_nsec -= 1000000000L;
  }
  return jsSemResult(sem_timedwait(sem, &ts));
}

}  // namespace internal
}  // namespace qelToolsLib
