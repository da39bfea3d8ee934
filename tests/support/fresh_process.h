// Runs one test case in a process of its own. Some parts of the library are
// process-wide and set once (the trace facility's output and tables, the one
// connection server, the loader's settings), so a case that needs them fresh runs
// in a child made by fork(): the test binary then passes in any order, repeated,
// and run by hand from any folder. Call from the test's main thread only, while
// the test process runs no other thread.
#ifndef QEL_TESTS_SUPPORT_FRESH_PROCESS_H
#define QEL_TESTS_SUPPORT_FRESH_PROCESS_H

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace qeltest {

// A path in the temporary folder, unique to this process, for a file a test writes
// (the working folder may be anything, read-only included, when run by hand).
std::string temp_path(const std::string& name);

// Runs `body` in a child process whose working folder is a new temporary folder
// (removed afterwards). The calling test fails unless `body` returns without a
// failure of its own (the child prints those) within `timeout_seconds`.
void run_in_fresh_process(const std::function<void()>& body, unsigned timeout_seconds = 60);

}  // namespace qeltest

// A test case whose body runs through run_in_fresh_process.
#define QEL_FRESH_PROCESS_TEST(suite, name)                                 \
  static void suite##_##name##_fresh_body();                                \
  TEST(suite, name) { ::qeltest::run_in_fresh_process(&suite##_##name##_fresh_body); } \
  static void suite##_##name##_fresh_body()

// The same with a fixture: the child builds the fixture, runs SetUp, the body (unless
// SetUp failed fatally or skipped) and TearDown. Every test of a suite must use the
// same form (gtest's rule for one suite name).
#define QEL_FRESH_PROCESS_TEST_F(fixture, name)                             \
  namespace {                                                               \
  class fixture##_##name##_Fresh : public fixture {                         \
   public:                                                                  \
    void TestBody() override;                                               \
    void RunAll() {                                                         \
      SetUp();                                                              \
      if (!HasFatalFailure() && !IsSkipped()) TestBody();                   \
      TearDown();                                                           \
    }                                                                       \
  };                                                                        \
  }                                                                         \
  TEST(fixture, name) {                                                     \
    ::qeltest::run_in_fresh_process([] { fixture##_##name##_Fresh().RunAll(); }); \
  }                                                                         \
  void fixture##_##name##_Fresh::TestBody()

#endif  // QEL_TESTS_SUPPORT_FRESH_PROCESS_H
