// internal/jspthreadmutex.h - RAII owner of one pthread mutex, shared by the
// implementation objects of the lock primitives and the event. Not for use outside
// qelToolsLib. A mutex that cannot be created throws jsOsException from the
// constructor, so no lock object ever exists without its mutex. Results are pthread
// results (0 or an errno value); errno is kept.
#pragma once

#include <pthread.h>

namespace qelToolsLib {
namespace internal {

class jsPthreadMutex {
 public:
  // type: PTHREAD_MUTEX_DEFAULT, PTHREAD_MUTEX_ERRORCHECK, ...
  explicit jsPthreadMutex(int type);
  ~jsPthreadMutex();
  jsPthreadMutex(const jsPthreadMutex&) = delete;
  jsPthreadMutex& operator=(const jsPthreadMutex&) = delete;

  int lock() noexcept;
  int unlock() noexcept;
  int tryLock() noexcept;
  pthread_mutex_t* native() noexcept { return &m_mutex; }

 private:
  pthread_mutex_t m_mutex;
};

// Throws jsOsException for a nonzero pthread result of creating `what`.
void jsThrowIfFailed(int result, const char* what);

// Keeps errno across a pthread call: the lock calls must not disturb the caller's.
class jsErrnoKeeper {
 public:
  jsErrnoKeeper() noexcept;
  ~jsErrnoKeeper();
  jsErrnoKeeper(const jsErrnoKeeper&) = delete;
  jsErrnoKeeper& operator=(const jsErrnoKeeper&) = delete;

 private:
  int m_saved;
};

}  // namespace internal
}  // namespace qelToolsLib
