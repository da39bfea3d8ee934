// Recursive locks of the loader's plain-function layer.
#include "mslLoader/cLock.h"

#include <mutex>

#include "mslLoader/mslLoaderLog.h"
#include "qelStatusCodes.h"

namespace {

// Serialises lazy initialisation, so two first users cannot both initialise.
std::mutex& InitMutex() {
  static std::mutex mutex;
  return mutex;
}

uint32_t InitLocked(cLock* lock) {
  pthread_mutexattr_t attributes;
  if (pthread_mutexattr_init(&attributes) != 0) return qel::status::LOADER_LOCK_FAILED;
  int rc = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  if (rc == 0) rc = pthread_mutex_init(&lock->lock, &attributes);
  pthread_mutexattr_destroy(&attributes);
  if (rc != 0) return qel::status::LOADER_LOCK_FAILED;
  lock->count = 0;
  lock->valid.store(true, std::memory_order_release);
  return 0;
}

}  // namespace

uint32_t cLockInit(cLock* lock) {
  QEL_LOG_SHORT(MSL_LOG_ENTRY, "Entered function");
  if (lock == nullptr) return qel::status::INVALID_ARGUMENT;
  std::lock_guard<std::mutex> guard(InitMutex());
  if (lock->valid.load(std::memory_order_acquire)) return 0;
  return InitLocked(lock);
}

uint32_t cLockTake(cLock* lock) {
  QEL_LOG_SHORT(MSL_LOG_ENTRY, "Entered function");
  if (lock == nullptr) return qel::status::INVALID_ARGUMENT;
  if (!lock->valid.load(std::memory_order_acquire)) {
    if (uint32_t rc = cLockInit(lock)) return rc;
  }
  if (pthread_mutex_lock(&lock->lock) != 0) return qel::status::LOADER_LOCK_FAILED;
  ++lock->count;
  return 0;
}

uint32_t cLockRelease(cLock* lock) {
  QEL_LOG_SHORT(MSL_LOG_ENTRY, "Entered function");
  if (lock == nullptr) return qel::status::INVALID_ARGUMENT;
  if (!lock->valid.load(std::memory_order_acquire)) return qel::status::LOADER_LOCK_FAILED;
  // Ownership is proven by a trylock, which only the owner (or anybody, when the
  // lock is free and the count therefore 0) can win; only the owner touches count.
  if (pthread_mutex_trylock(&lock->lock) != 0) return qel::status::LOADER_LOCK_FAILED;
  if (lock->count <= 0) {
    pthread_mutex_unlock(&lock->lock);
    return qel::status::LOADER_LOCK_FAILED;
  }
  lock->count -= 1;
  pthread_mutex_unlock(&lock->lock);
  return pthread_mutex_unlock(&lock->lock) == 0 ? 0 : qel::status::LOADER_LOCK_FAILED;
}

uint32_t cLockDestroy(cLock* lock) {
  QEL_LOG_SHORT(MSL_LOG_ENTRY, "Entered function");
  if (lock == nullptr) return qel::status::INVALID_ARGUMENT;
  std::lock_guard<std::mutex> guard(InitMutex());
  if (!lock->valid.load(std::memory_order_acquire)) return 0;
  if (pthread_mutex_destroy(&lock->lock) != 0) return qel::status::LOADER_LOCK_FAILED;
  lock->valid.store(false, std::memory_order_release);
  return 0;
}
