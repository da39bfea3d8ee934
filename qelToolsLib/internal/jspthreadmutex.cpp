#include "qelToolsLib/internal/jspthreadmutex.h"

#include <cerrno>
#include <string>

#include "qelToolsLib/jsexception.h"

namespace qelToolsLib {
namespace internal {

void jsThrowIfFailed(int result, const char* what) {
  if (result != 0) throw jsOsException(std::string("cannot create ") + what, result);
}

jsPthreadMutex::jsPthreadMutex(int type) {
  pthread_mutexattr_t attr;
  jsThrowIfFailed(pthread_mutexattr_init(&attr), "mutex attributes");
  int rc = pthread_mutexattr_settype(&attr, type);
  if (rc == 0) rc = pthread_mutex_init(&m_mutex, &attr);
  pthread_mutexattr_destroy(&attr);
  jsThrowIfFailed(rc, "a mutex");
}

jsPthreadMutex::~jsPthreadMutex() { pthread_mutex_destroy(&m_mutex); }

int jsPthreadMutex::lock() noexcept { return pthread_mutex_lock(&m_mutex); }

int jsPthreadMutex::unlock() noexcept { return pthread_mutex_unlock(&m_mutex); }

int jsPthreadMutex::tryLock() noexcept { return pthread_mutex_trylock(&m_mutex); }

jsErrnoKeeper::jsErrnoKeeper() noexcept : m_saved(errno) {}

jsErrnoKeeper::~jsErrnoKeeper() { errno = m_saved; }

}  // namespace internal
}  // namespace qelToolsLib
