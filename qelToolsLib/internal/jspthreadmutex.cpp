#include "qelToolsLib/internal/jspthreadmutex.h"

#include <cerrno>

namespace qelToolsLib {
namespace internal {

jsPthreadMutex::jsPthreadMutex(int type) noexcept {
  pthread_mutexattr_t attr;
  if (pthread_mutexattr_init(&attr) != 0) return;
  if (pthread_mutexattr_settype(&attr, type) == 0)
    m_ok = pthread_mutex_init(&m_mutex, &attr) == 0;
  pthread_mutexattr_destroy(&attr);
}

jsPthreadMutex::~jsPthreadMutex() {
  if (m_ok) pthread_mutex_destroy(&m_mutex);
}

int jsPthreadMutex::lock() noexcept {
  return m_ok ? pthread_mutex_lock(&m_mutex) : EINVAL;
}

int jsPthreadMutex::unlock() noexcept {
  return m_ok ? pthread_mutex_unlock(&m_mutex) : EINVAL;
}

int jsPthreadMutex::tryLock() noexcept {
  return m_ok ? pthread_mutex_trylock(&m_mutex) : EINVAL;
}

jsErrnoKeeper::jsErrnoKeeper() noexcept : m_saved(errno) {}

jsErrnoKeeper::~jsErrnoKeeper() { errno = m_saved; }

}  // namespace internal
}  // namespace qelToolsLib
