// Waiting for a condition and counting this process's threads. Any thread.
#ifndef QEL_TESTS_SUPPORT_POLLING_H
#define QEL_TESTS_SUPPORT_POLLING_H

#include <functional>

namespace qeltest {

// Polls `condition` every 20 ms until it holds (true) or `timeout_ms` passed (false).
bool wait_until(const std::function<bool()>& condition, int timeout_ms);

// Threads of this process right now (entries of /proc/self/task).
int thread_count();

}  // namespace qeltest

#endif  // QEL_TESTS_SUPPORT_POLLING_H
