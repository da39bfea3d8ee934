// Recursive locks of the loader's plain-function layer: a cLock record is a mutex,
// a valid flag and a recursion count, initialised lazily on its first use, so a
// zero-initialised static record (CLOCK_INITIALIZER) is ready to take.
//
// Any thread may take a lock, and take it again while holding it; each take is
// matched by one release on the same thread. The loader's own locks are never
// destroyed (the loaded library lives until the process ends).
#ifndef QEL_MSLLOADER_CLOCK_H
#define QEL_MSLLOADER_CLOCK_H

#include <pthread.h>

#include <atomic>
#include <cstdint>

struct cLock {
  pthread_mutex_t lock;
  std::atomic<bool> valid;
  std::int32_t count;  // recursion depth of the owner; changed only while held
};

#define CLOCK_INITIALIZER {PTHREAD_MUTEX_INITIALIZER, {false}, 0}

// Each returns 0 or a status (0xC7210003 for a null record, the loader's lock
// failure status otherwise). The lock operations report "Entered function" at the
// entry level of the loader's log interface.
uint32_t cLockInit(cLock* lock);
uint32_t cLockTake(cLock* lock);
uint32_t cLockRelease(cLock* lock);
uint32_t cLockDestroy(cLock* lock);

// Holds a cLock for one scope; `status()` tells whether it was taken.
class cLockGuard {
 public:
  explicit cLockGuard(cLock* lock) : lock_(lock), status_(cLockTake(lock)) {}
  ~cLockGuard() {
    if (status_ == 0) cLockRelease(lock_);
  }
  cLockGuard(const cLockGuard&) = delete;
  cLockGuard& operator=(const cLockGuard&) = delete;
  uint32_t status() const { return status_; }

 private:
  cLock* lock_;
  uint32_t status_;
};

#endif  // QEL_MSLLOADER_CLOCK_H
