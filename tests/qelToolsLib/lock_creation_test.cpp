// A lock whose operating-system object cannot be created must not exist: its
// constructor throws, and so does a guard whose lock call fails. The C library's
// creation functions are replaced in this program by versions that fail on request
// (on the asking thread only) and otherwise call the next definition (the C
// library's, or a sanitizer's).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <cerrno>

#include "qelToolsLib/jsevent.h"
#include "qelToolsLib/jsexception.h"
#include "qelToolsLib/jslock.h"

namespace {

thread_local int t_refuse = 0;  // the error the next creations on this thread fail with

template <typename Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int pthread_mutex_init(pthread_mutex_t* mutex, const pthread_mutexattr_t* attr) {
  using init = int (*)(pthread_mutex_t*, const pthread_mutexattr_t*);
  static const init real = next<init>("pthread_mutex_init");
  return t_refuse != 0 ? t_refuse : real(mutex, attr);
}

extern "C" int pthread_rwlock_init(pthread_rwlock_t* lock, const pthread_rwlockattr_t* attr) {
  using init = int (*)(pthread_rwlock_t*, const pthread_rwlockattr_t*);
  static const init real = next<init>("pthread_rwlock_init");
  return t_refuse != 0 ? t_refuse : real(lock, attr);
}

namespace {

// The error a construction threw, 0 when it built the object.
template <typename Primitive>
int creationError() {
  try {
    Primitive built;
    EXPECT_TRUE(built.isValid());
  } catch (const jsOsException& e) {
    return e.osError();
  }
  return 0;
}

TEST(LockCreation, EveryLockThatCannotBeCreatedThrowsAtConstruction) {
  t_refuse = EAGAIN;
  EXPECT_EQ(creationError<jsSync>(), EAGAIN);
  EXPECT_EQ(creationError<jsFastSync>(), EAGAIN);
  EXPECT_EQ(creationError<jsRecursiveSync>(), EAGAIN);
  EXPECT_EQ(creationError<jsRWSync>(), EAGAIN);
  EXPECT_EQ(creationError<jsEvent>(), EAGAIN);
  t_refuse = 0;
  EXPECT_EQ(creationError<jsSync>(), 0);
  EXPECT_EQ(creationError<jsFastSync>(), 0);
  EXPECT_EQ(creationError<jsRecursiveSync>(), 0);
  EXPECT_EQ(creationError<jsRWSync>(), 0);
  EXPECT_EQ(creationError<jsEvent>(), 0);
}

TEST(LockCreation, AGuardThatCannotLockThrowsAndReleasesNothing) {
  jsSync sync;  // error-checking: a second lock by its owner fails with EDEADLK
  jsSyncLock outer(sync);
  try {
    jsSyncLock inner(sync);
    ADD_FAILURE() << "a guard exists without its lock";
  } catch (const jsOsException& e) {
    EXPECT_EQ(e.osError(), EDEADLK);
  }
  EXPECT_TRUE(outer.held());
  EXPECT_EQ(outer.release(), 0) << "the outer hold is still there to release";
}

}  // namespace
