// Log lines with time and level, or with journald priority prefixes.
#include "log_output.h"

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace qel {
namespace tools {

namespace {

std::atomic<int> g_level{static_cast<int>(log_level::info)};
std::atomic<bool> g_journal{false};
const char* g_program = "qel";

// JOURNAL_STREAM is "DEVICE:INODE" of the journal's socket; it counts only while stderr
// is that very socket (a child whose stderr was redirected inherits the variable).
bool stderr_is_journal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  struct stat info {};
  if (stream == nullptr || fstat(STDERR_FILENO, &info) != 0) return false;
  unsigned long long device = 0, inode = 0;
  if (std::sscanf(stream, "%llu:%llu", &device, &inode) != 2) return false;
  return device == static_cast<unsigned long long>(info.st_dev) &&
         inode == static_cast<unsigned long long>(info.st_ino);
}

int syslog_priority(log_level level) {
  switch (level) {
    case log_level::error: return 3;
    case log_level::warning: return 4;
    case log_level::info: return 6;
    case log_level::debug: break;
  }
  return 7;
}

// Now, as "2025-01-30T10:15:02.123+01:00" in local time.
std::string timestamp() {
  timeval now{};
  gettimeofday(&now, nullptr);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  char date[32], zone[8];
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  std::strftime(zone, sizeof zone, "%z", &local);  // "+0100"
  char text[64];
  std::snprintf(text, sizeof text, "%s.%03ld%.3s:%.2s", date,
                static_cast<long>(now.tv_usec / 1000), zone, zone + 3);
  return text;
}

void write_all(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere to report a failing stderr
    done += static_cast<size_t>(n);
  }
}

}  // namespace

bool parse_log_level(const std::string& text, log_level& level) {
  static const char* const names[] = {"error", "warning", "info", "debug"};
  for (int i = 0; i < 4; ++i) {
    if (text == names[i]) {
      level = static_cast<log_level>(i);
      return true;
    }
  }
  return false;
}

const char* log_level_name(log_level level) {
  switch (level) {
    case log_level::error: return "ERROR";
    case log_level::warning: return "WARNING";
    case log_level::info: return "INFO";
    case log_level::debug: break;
  }
  return "DEBUG";
}

void log_output::configure(const char* program, log_level level) {
  g_program = program;
  g_level = static_cast<int>(level);
  g_journal = stderr_is_journal();
}

bool log_output::enabled(log_level level) { return static_cast<int>(level) <= g_level.load(); }

void log_output::write(log_level level, const std::string& text) {
  if (!enabled(level)) return;
  const bool journal = g_journal.load();
  const std::string prefix =
      journal ? "<" + std::to_string(syslog_priority(level)) + ">" + log_level_name(level) + " "
              : timestamp() + " " + g_program + ": " + log_level_name(level) + " ";
  std::string lines;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = text.find('\n', start);
    lines += prefix + text.substr(start, end == std::string::npos ? end : end - start) + "\n";
    if (end == std::string::npos || end + 1 == text.size()) break;
    start = end + 1;
  }
  write_all(lines);
}

}  // namespace tools
}  // namespace qel
