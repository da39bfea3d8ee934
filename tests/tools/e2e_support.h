// Small helpers of the end-to-end tests: where the build is and how long to let the
// server settle, with the shared helpers (tests/support) under the names these tests use.
#ifndef QEL_TESTS_TOOLS_E2E_SUPPORT_H
#define QEL_TESTS_TOOLS_E2E_SUPPORT_H

#include <string>

#include "tests/support/child_process.h"
#include "tests/support/files.h"
#include "tests/support/free_port.h"
#include "tests/support/http_client.h"
#include "tests/support/polling.h"
#include "tests/support/temp_dir.h"

namespace e2e {

using qeltest::child_process;
using qeltest::free_port;
using qeltest::header_lines;
using qeltest::http_get;
using qeltest::http_post;
using qeltest::http_post_async;
using qeltest::http_post_crowd;
using qeltest::http_result;
using qeltest::read_file;
using qeltest::ready_within;
using qeltest::temp_dir;
using qeltest::thread_count;
using qeltest::wait_until;
using qeltest::write_file;

// The build folder (QEL_BUILD_DIR, set by CTest) and files inside it.
std::string build_dir();
std::string program_path(const std::string& name);  // build/bin/NAME
std::string library_dir();                           // build/lib

// Timing scale: sanitizer builds run slower, so waits meant as "long enough for the
// server to have queued a request" grow with it (QEL_E2E_SLOW, default 1).
int settle_ms();

}  // namespace e2e

#endif  // QEL_TESTS_TOOLS_E2E_SUPPORT_H
