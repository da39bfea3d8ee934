// Helpers of the loader tests: signing with the tests' trusted key and a recording
// log sink, with the shared folder, file and program helpers. Test-thread only.
#ifndef QEL_TESTS_MSLLOADER_TEST_SUPPORT_H
#define QEL_TESTS_MSLLOADER_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "qelConnectionServer.h"
#include "tests/support/child_process.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace qeltest {

// Signs `file` with the secret key file `key` (default: the tests' trusted key),
// trusted comment naming `nameInComment` (default: the file's own name).
std::string SignatureText(const std::string& file, const std::string& key = QEL_TEST_SECRET_KEY,
                          const std::string& nameInComment = "");
void SignDetached(const std::string& file, const std::string& sigFile,
                  const std::string& key = QEL_TEST_SECRET_KEY);
void SignEmbedded(const std::string& file, const std::string& key = QEL_TEST_SECRET_KEY);
// Writes a fresh key pair that no loader trusts.
void MakeUntrustedKey(const std::string& publicFile, const std::string& secretFile);

struct LogEntry {
  uint32_t level;
  std::string message;
  std::string function;
};

// A log sink that records every call; installed with SetLoaderLogSink.
class LogRecorder {
 public:
  explicit LogRecorder(uint32_t mask = 0xFFFFFFFFu);
  ~LogRecorder();
  const mslLogSink* sink() const { return &sink_; }
  const std::vector<LogEntry>& entries() const { return entries_; }
  // Index of the first entry at `level` containing `text`, or -1.
  int Find(uint32_t level, const std::string& text) const;
  bool Has(uint32_t level, const std::string& text) const { return Find(level, text) >= 0; }
  bool HasText(const std::string& text) const;
  std::string Dump() const;

 private:
  static void Record(uintptr_t context, uint32_t level, const char* message, const char* function);
  mslLogSink sink_;
  std::vector<LogEntry> entries_;
};

// The catalog text of a status, as the loader logs it.
std::string Text(uint32_t status);

}  // namespace qeltest

#endif  // QEL_TESTS_MSLLOADER_TEST_SUPPORT_H
