#include "qelToolsLib/jsrmutex_pthread.h"

#include <atomic>
#include <cerrno>

#include "qelToolsLib/internal/jspthreadmutex.h"

namespace qelToolsLib {

// The mutex plus its owner and hold count. The owner is read without the mutex
// (to recognise a re-entry), so it is atomic; only the owner changes the count.
class jsRecursiveSyncImpl {
 public:
  jsRecursiveSyncImpl() : m_mutex(PTHREAD_MUTEX_DEFAULT) {}

  int lock() noexcept {
    if (ownedByCaller()) return ++m_count, 0;
    int rc = m_mutex.lock();
    if (rc == 0) take();
    return rc;
  }

  int tryLock() noexcept {
    if (ownedByCaller()) return ++m_count, 0;
    int rc = m_mutex.tryLock();
    if (rc == 0) take();
    return rc;
  }

  int unlock() noexcept {
    if (!ownedByCaller()) return EPERM;
    if (--m_count > 0) return 0;
    m_owner.store(0, std::memory_order_relaxed);
    return m_mutex.unlock();
  }

 private:
  bool ownedByCaller() const noexcept {
    return m_owner.load(std::memory_order_relaxed) == pthread_self();
  }
  void take() noexcept {
    m_owner.store(pthread_self(), std::memory_order_relaxed);
    m_count = 1;
  }

  internal::jsPthreadMutex m_mutex;
  std::atomic<pthread_t> m_owner{0};
  unsigned long m_count = 0;
};

jsRecursiveSync::jsRecursiveSync() : m_impl(std::make_unique<jsRecursiveSyncImpl>()) {
  setValid(true);
}

jsRecursiveSync::~jsRecursiveSync() = default;

int jsRecursiveSync::lock() {
  internal::jsErrnoKeeper keep;
  return m_impl->lock();
}

int jsRecursiveSync::unlock() {
  internal::jsErrnoKeeper keep;
  return m_impl->unlock();
}

int jsRecursiveSync::tryLock() {
  internal::jsErrnoKeeper keep;
  return m_impl->tryLock();
}

}  // namespace qelToolsLib
