#include "qelToolsLib/jsevent.h"

#include <pthread.h>
#include <time.h>

#include <cerrno>
#include <new>

#include "qelToolsLib/internal/jspthreadmutex.h"

namespace qelToolsLib {

namespace {

// Unlocks on every exit, including the unwinding of a cancelled waiter (the
// condition wait re-acquires the mutex before a cancellation unwinds).
class MutexHold {
 public:
  explicit MutexHold(internal::jsPthreadMutex& m) noexcept : m_m(m) { m_m.lock(); }
  ~MutexHold() { m_m.unlock(); }
  MutexHold(const MutexHold&) = delete;
  MutexHold& operator=(const MutexHold&) = delete;

 private:
  internal::jsPthreadMutex& m_m;
};

timespec deadlineAfter(uint32_t ms) noexcept {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  ts.tv_sec += ms / 1000;
  ts.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
  if (ts.tv_nsec >= 1000000000L) {
    ts.tv_sec += 1;
    ts.tv_nsec -= 1000000000L;
  }
  return ts;
}

}  // namespace

class jsEventImpl {
 public:
  jsEventImpl(bool signalled, bool manual)
      : m_mutex(PTHREAD_MUTEX_DEFAULT), m_signalled(signalled), m_manual(manual) {
    pthread_condattr_t attr;
    internal::jsThrowIfFailed(pthread_condattr_init(&attr), "condition attributes");
    // The monotonic clock keeps time-outs right when the wall clock is set.
    int rc = pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    if (rc == 0) rc = pthread_cond_init(&m_cond, &attr);
    pthread_condattr_destroy(&attr);
    internal::jsThrowIfFailed(rc, "a condition variable");
  }
  ~jsEventImpl() { pthread_cond_destroy(&m_cond); }
  jsEventImpl(const jsEventImpl&) = delete;
  jsEventImpl& operator=(const jsEventImpl&) = delete;

  void set() noexcept {
    MutexHold hold(m_mutex);
    m_signalled = true;
    if (m_manual)
      pthread_cond_broadcast(&m_cond);
    else
      pthread_cond_signal(&m_cond);
  }

  void reset() noexcept {
    MutexHold hold(m_mutex);
    m_signalled = false;
  }

  // Not noexcept: a cancelled waiter unwinds through here.
  int wait(uint32_t timeoutMs) {
    MutexHold hold(m_mutex);
    if (m_manual && m_signalled) return 0;
    const timespec deadline = deadlineAfter(timeoutMs == jsInfinite ? 0 : timeoutMs);
    int rc = 0;
    while (!m_signalled && rc == 0) {
      rc = timeoutMs == jsInfinite ? pthread_cond_wait(&m_cond, m_mutex.native())
                                   : pthread_cond_timedwait(&m_cond, m_mutex.native(), &deadline);
    }
    if (!m_signalled) return rc;
    if (!m_manual) m_signalled = false;
    return 0;
  }

 private:
  internal::jsPthreadMutex m_mutex;
  pthread_cond_t m_cond;
  bool m_signalled;
  bool m_manual;
};

jsEvent::jsEvent(int startReset, bool manualReset)
    : m_impl(std::make_unique<jsEventImpl>(startReset == 0, manualReset)) {
  setValid(true);
}

jsEvent::~jsEvent() = default;

int jsEvent::set() {
  if (!m_impl) return jsWaitFailed;
  m_impl->set();
  return jsWaitSuccess;
}

int jsEvent::reset() {
  if (!m_impl) return jsWaitFailed;
  m_impl->reset();
  return jsWaitSuccess;
}

int jsEvent::wait(uint32_t timeoutMs) {
  if (!m_impl) return jsWaitFailed;
  return jsMapWaitResult(m_impl->wait(timeoutMs));
}

}  // namespace qelToolsLib
