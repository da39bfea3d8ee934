// qelMutex.h - qelMutex, a std::mutex that clang's thread-safety analysis knows as a
// lock, and qelMutexLock, its scoped guard (usable with std::condition_variable_any).
// Same rules as std::mutex and std::unique_lock; any thread.
#pragma once

#include <mutex>

#include "qelToolsLib/qelThreadAnnotations.h"

namespace qelToolsLib {

class QEL_CAPABILITY("mutex") qelMutex {
 public:
  void lock() QEL_ACQUIRE() { m_mutex.lock(); }
  void unlock() QEL_RELEASE() { m_mutex.unlock(); }
  bool try_lock() QEL_TRY_ACQUIRE(true) { return m_mutex.try_lock(); }

 private:
  std::mutex m_mutex;
};

class QEL_SCOPED_CAPABILITY qelMutexLock {
 public:
  explicit qelMutexLock(qelMutex& mutex) QEL_ACQUIRE(mutex) : m_mutex(mutex) { m_mutex.lock(); }
  ~qelMutexLock() QEL_RELEASE() { m_mutex.unlock(); }
  qelMutexLock(const qelMutexLock&) = delete;
  qelMutexLock& operator=(const qelMutexLock&) = delete;
  // For std::condition_variable_any, which unlocks and locks again while it waits: the
  // guard holds the mutex again when the wait returns, as the analysis assumes.
  void lock() QEL_NO_THREAD_ANALYSIS { m_mutex.lock(); }
  void unlock() QEL_NO_THREAD_ANALYSIS { m_mutex.unlock(); }

 private:
  qelMutex& m_mutex;
};

}  // namespace qelToolsLib

using qelToolsLib::qelMutex;
using qelToolsLib::qelMutexLock;
