// Shared helpers of the trace facility tests. The facility is process-wide and
// set once, so every case runs in a process of its own with a fresh working
// directory, where ".udout" and ".udrc" live (QEL_FRESH_PROCESS_TEST).
#ifndef QEL_TESTS_UDEBUG_TEST_SUPPORT_H
#define QEL_TESTS_UDEBUG_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/fresh_process.h"

using qeltest::read_file;
using qeltest::write_file;
std::vector<std::string> split_lines(const std::string& text);
// A '.'/' ' filler of the given width.
std::string filler(size_t width);
// Splits "ud <time> <thread> <rest>"; false if the prefix is malformed.
bool split_prefix(const std::string& line, double& when, std::string& thread,
                  std::string& rest);
// The trace line without its "ud <time> <thread> " prefix; fails the test if
// the prefix is malformed or names another thread than `thread_id`.
std::string strip_prefix(const std::string& line, unsigned thread_id);
unsigned this_thread_id();
// Runs the interpreter on the given commands.
void run_commands(const std::string& commands);
// The usage text of the interpreter.
std::string usage_text();

// A traced function in another source file (udebug_other.cpp).
int other_file_step(int value);
extern int g_other_enter_line;
extern int g_other_exit_line;

#endif  // QEL_TESTS_UDEBUG_TEST_SUPPORT_H
