// Whole-file reads and writes for tests. Any thread.
#ifndef QEL_TESTS_SUPPORT_FILES_H
#define QEL_TESTS_SUPPORT_FILES_H

#include <string>

namespace qeltest {

// The file's bytes; "" when it cannot be read.
std::string read_file(const std::string& path);
// Replaces the file's contents and sets its mode; throws std::runtime_error on failure.
void write_file(const std::string& path, const std::string& content, unsigned mode = 0644);
void copy_file(const std::string& from, const std::string& to, unsigned mode = 0644);

}  // namespace qeltest

#endif  // QEL_TESTS_SUPPORT_FILES_H
