// The loader's recursive locks.
#include <gtest/gtest.h>

#include <thread>

#include "mslLoader/cLock.h"
#include "mslLoader/mslLoader.h"
#include "qelStatusCodes.h"
#include "test_support.h"

namespace {

TEST(CLock, LazyRecursiveAndOwnedByOneThread) {
  qeltest::LogRecorder log;
  SetLoaderLogSink(log.sink());
  static cLock lock = CLOCK_INITIALIZER;  // never initialised explicitly
  ASSERT_EQ(cLockTake(&lock), 0u);
  ASSERT_EQ(cLockTake(&lock), 0u);
  EXPECT_EQ(lock.count, 2);
  uint32_t otherTake = 0;
  uint32_t otherRelease = 0;
  std::thread other([&] {
    otherRelease = cLockRelease(&lock);
  });
  other.join();
  EXPECT_EQ(otherRelease, qel::status::LOADER_LOCK_FAILED);
  EXPECT_EQ(cLockRelease(&lock), 0u);
  EXPECT_EQ(cLockRelease(&lock), 0u);
  EXPECT_EQ(cLockRelease(&lock), qel::status::LOADER_LOCK_FAILED);  // not held any more
  std::thread taker([&] {
    otherTake = cLockTake(&lock);
    otherRelease = cLockRelease(&lock);
  });
  taker.join();
  EXPECT_EQ(otherTake, 0u);
  EXPECT_EQ(otherRelease, 0u);
  EXPECT_EQ(cLockTake(nullptr), 0xC7210003u);
  EXPECT_EQ(cLockDestroy(&lock), 0u);
  EXPECT_EQ(cLockRelease(&lock), qel::status::LOADER_LOCK_FAILED);
  ASSERT_GE(log.Find(MSL_LOG_ENTRY, "Entered function"), 0);
  EXPECT_EQ(log.entries()[log.Find(MSL_LOG_ENTRY, "Entered function")].function, "cLockTake");
}

}  // namespace
