// Locks and guards: exclusion between threads, re-entry, early release, the standard
// Lockable names, and the wait-result scale.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <shared_mutex>
#include <thread>
#include <vector>

#include "qelToolsLib/jslock.h"
#include "qelToolsLib/qelsync.h"

namespace {

int tryLockFromOtherThread(jsSyncBase& sync) {
  int rc = -1;
  std::thread([&] {
    rc = sync.tryLock();
    if (rc == 0) sync.unlock();
  }).join();
  return rc;
}

TEST(JsSync, FastLockExcludesOtherThreadsAndWorksWithStandardGuards) {
  jsFastSync sync;
  ASSERT_TRUE(sync.isValid());
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        if (i % 2) {
          jsFastLock hold(sync);
          ++counter;
        } else {
          std::lock_guard<jsFastSync> hold(sync);
          ++counter;
        }
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 80000);
  {
    jsFastLock hold(&sync);
    EXPECT_TRUE(hold.held());
    EXPECT_EQ(tryLockFromOtherThread(sync), EBUSY);
  }
  EXPECT_EQ(tryLockFromOtherThread(sync), 0);
}

TEST(JsSync, LockCallsKeepErrno) {
  jsFastSync sync;
  errno = EMFILE;
  sync.lock();
  sync.unlock();
  EXPECT_EQ(errno, EMFILE);
}

TEST(JsSync, RecursiveLockCountsReentryAndIsBusyForOthers) {
  jsRecursiveSync sync;
  ASSERT_TRUE(sync.isValid());
  ASSERT_EQ(sync.lock(), 0);
  ASSERT_EQ(sync.lock(), 0);
  ASSERT_EQ(sync.tryLock(), 0);
  EXPECT_EQ(tryLockFromOtherThread(sync), EBUSY);
  EXPECT_EQ(sync.unlock(), 0);
  EXPECT_EQ(sync.unlock(), 0);
  EXPECT_EQ(tryLockFromOtherThread(sync), EBUSY) << "one hold is left";
  int otherUnlock = -1;
  std::thread([&] { otherUnlock = sync.unlock(); }).join();
  EXPECT_EQ(otherUnlock, EPERM);
  EXPECT_EQ(sync.unlock(), 0);
  EXPECT_EQ(tryLockFromOtherThread(sync), 0);
  EXPECT_EQ(sync.unlock(), EPERM) << "not held any more";
}

TEST(JsSync, RecursiveGuardsNest) {
  qelRecursiveSynch sync;
  {
    qelRecursiveLock outer(sync);
    qelRecursiveLock inner(&sync);
    EXPECT_TRUE(inner.held());
    EXPECT_EQ(tryLockFromOtherThread(sync), EBUSY);
  }
  EXPECT_EQ(tryLockFromOtherThread(sync), 0);
}

TEST(JsSync, EarlyReleaseLeavesNothingForTheDestructor) {
  jsSync sync;  // error-checking: a second unlock would be refused, not ignored
  {
    jsSyncLock hold(sync);
    EXPECT_EQ(hold.release(), 0);
    EXPECT_FALSE(hold.held());
    EXPECT_EQ(hold.release(), 0);
    ASSERT_EQ(sync.lock(), 0);  // taken again; the guard must not let go of it
  }
  EXPECT_EQ(tryLockFromOtherThread(sync), EBUSY);
  EXPECT_EQ(sync.unlock(), 0);
  EXPECT_EQ(sync.lock(), 0);
  EXPECT_EQ(sync.lock(), EDEADLK) << "the generic lock refuses a relock by its owner";
  EXPECT_EQ(sync.unlock(), 0);
}

TEST(JsSync, ReaderWriterLockSharesReadsAndExcludesWrites) {
  qelRWSync sync;
  ASSERT_TRUE(sync.isValid());
  {
    jsRWLock reader(sync, jsRWLock::Read);
    int otherRead = -1, otherWrite = -1;
    std::thread([&] {
      otherRead = sync.tryReadLock();
      if (otherRead == 0) sync.unlock();
      otherWrite = sync.tryWriteLock();
    }).join();
    EXPECT_EQ(otherRead, 0);
    EXPECT_EQ(otherWrite, EBUSY);
  }
  {
    qelRWLock writer(sync);
    int otherRead = -1;
    std::thread([&] { otherRead = sync.tryReadLock(); }).join();
    EXPECT_EQ(otherRead, EBUSY);
  }
  std::shared_lock<jsRWSync> shared(sync);
  EXPECT_TRUE(shared.owns_lock());
  EXPECT_EQ(tryLockFromOtherThread(sync), EBUSY);
}

}  // namespace
