// Semaphores: counting, try-wait, time-outs, the completion handshake, and the named
// semaphore shared through its name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <string>
#include <thread>

#include "qelToolsLib/jsexception.h"
#include "qelToolsLib/qelsync.h"

namespace {

TEST(JsSemaphore, CountsPostsAndWaits) {
  jsSemaphore sem(0, 256);
  ASSERT_TRUE(sem.isValid());
  EXPECT_EQ(sem.tryWait(), 1) << "count zero is busy";
  EXPECT_EQ(sem.timedWait(20), 1);
  EXPECT_EQ(sem.increment(3), 1);
  EXPECT_EQ(sem.value(), 3);
  EXPECT_EQ(sem.tryWait(), 0);
  EXPECT_EQ(sem.wait(), 0);
  EXPECT_EQ(sem.timedWait(20), 0);
  EXPECT_EQ(sem.tryWait(), 1);
  qelSemaphore initial(2);
  EXPECT_EQ(initial.value(), 2);
}

TEST(JsSemaphore, CompletionBeforeOrAfterTheWaitReleasesTheWaiterOnce) {
  jsSemaphore sem(0, 256);
  sem.increment(1);  // completed before anybody waits
  EXPECT_EQ(sem.wait(), 0);
  std::atomic<bool> done{false};
  std::thread waiter([&] {
    EXPECT_EQ(sem.wait(), 0);
    done = true;
  });
  EXPECT_EQ(sem.increment(1), 1);
  waiter.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(sem.value(), 0);
}

TEST(JsSemaphore, IncrementStopsAtTheFirstFailedPost) {
  jsSemaphore sem(SEM_VALUE_MAX - 1);
  EXPECT_EQ(sem.increment(1), 1);
  EXPECT_EQ(sem.increment(2), 0) << "the count cannot pass SEM_VALUE_MAX";
  EXPECT_EQ(sem.value(), SEM_VALUE_MAX);
}

TEST(JsSemaphore, NamedSemaphoreIsSharedByName) {
  const std::string name = "/qeltools-test-" + std::to_string(getpid());
  jsNamedSemaphore::unlink(name);
  {
    jsNamedSemaphore a(name, 0);
    qelNamedSemaphore b(name);
    ASSERT_TRUE(a.isValid());
    EXPECT_EQ(b.tryWait(), 1);
    EXPECT_EQ(a.post(), 0);
    EXPECT_EQ(b.tryWait(), 0);
    EXPECT_EQ(a.timedWait(10), 1);
    EXPECT_EQ(a.close(), 0);
    EXPECT_EQ(a.post(), 2) << "closed";
    EXPECT_EQ(a.close(), 2);
  }
  EXPECT_EQ(jsNamedSemaphore::unlink(name), 0);
  EXPECT_EQ(jsNamedSemaphore::unlink(name), 2);
}

TEST(JsSemaphore, NamedSemaphoreThatCannotBeOpenedThrows) {
  try {
    jsNamedSemaphore bad("/no/such/folder/name", 0);
    FAIL() << "sem_open accepted a name with slashes";
  } catch (const jsOsException& e) {
    EXPECT_NE(std::string(e.what()).find("jsNamedSemaphoreImpl::jsNamedSemaphoreImpl::sem_open"),
              std::string::npos);
    EXPECT_NE(std::string(e.what()).find("/no/such/folder/name"), std::string::npos);
    EXPECT_NE(e.osError(), 0);
  }
}

}  // namespace
