// jssemaphore.h - jsSemaphore, a counting semaphore over an unnamed POSIX semaphore.
//
// The core's transaction completion handshake is built on wait() and increment(1).
// The constructor throws jsOsException when sem_init fails. Results of wait(),
// timedWait() and tryWait(): 0 taken, 1 time-out / count is zero, 2 failure (an
// interrupted wait is a failure: callers that must wait retry). increment(n) posts up
// to n times and returns 1 when the last post succeeded, 0 when one failed.
// Time-outs are in milliseconds. Thread safety: any thread; the semaphore must outlive
// every waiter.
#pragma once

#include <cstdint>
#include <memory>

#include "qelToolsLib/jsbase.h"

namespace qelToolsLib {

class jsSemaphoreImpl;

class jsSemaphore : public jsBase {
 public:
  // The maximum is accepted and not enforced.
  explicit jsSemaphore(unsigned int initial = 0, unsigned int maximum = 0x7FFFFFFF);
  ~jsSemaphore() override;

  int wait();
  int timedWait(uint32_t timeoutMs);
  int tryWait();
  int increment(unsigned int n = 1);
  // The current count (0 when not valid); for diagnostics only.
  int value() const;

 private:
  std::unique_ptr<jsSemaphoreImpl> m_impl;
};

}  // namespace qelToolsLib

using qelToolsLib::jsSemaphore;
