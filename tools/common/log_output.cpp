// Log lines with time and level, or with journald priority prefixes, or as JSON; on
// stderr or in a log file.
#include "log_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

namespace qel {
namespace tools {

namespace {

std::atomic<int> g_level{static_cast<int>(log_level::info)};
std::atomic<int> g_format{static_cast<int>(log_format::text)};
std::atomic<bool> g_journal{false};
const char* g_program = "qel";
// The log file: its descriptor (-1: stderr) and path. The number, once published, stays
// valid for the life of the process (see the header); the mutex orders the setters.
std::atomic<int> g_fd{-1};
std::atomic<bool> g_to_file{false};
std::mutex g_file_mutex;
std::string g_path;

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
  const int fd = g_fd.load();
  const int target = fd >= 0 ? fd : STDERR_FILENO;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(target, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere to report a failing log
    done += static_cast<size_t>(n);
  }
}

int open_log(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0640);
  if (fd < 0) error = "cannot open log file '" + path + "': " + std::strerror(errno);
  return fd;
}

// Puts `fd` under the published number (or publishes it) and keeps `path`. Caller holds
// g_file_mutex.
void install(int fd, const std::string& path) {
  const int current = g_fd.load();
  if (current < 0) {
    g_fd.store(fd);
  } else {
    dup2(fd, current);  // atomically replaces what the number refers to
    close(fd);
  }
  g_path = path;
}

// The length of the UTF-8 sequence starting at text[i], 0 when it is not one.
size_t utf8_length(const std::string& text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length = 0;
  unsigned min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, min = 0x80;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, min = 0x800;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, min = 0x10000;
  else return 0;
  if (i + length > text.size()) return 0;
  unsigned code = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

std::string json_line(log_level level, const std::string& text, const log_fields& fields) {
  std::string line = "{\"time\":\"" + timestamp() + "\",\"level\":\"" + log_level_name(level) +
                     "\",\"program\":" + json_string(g_program) + ",\"message\":" + json_string(text);
  for (const auto& field : fields) line += "," + json_string(field.first) + ":" + json_string(field.second);
  return line + "}\n";
}

std::string text_lines(const std::string& message, const std::string& prefix) {
  std::string lines;
  size_t start = 0;
  while (start <= message.size()) {
    const size_t end = message.find('\n', start);
    lines += prefix + message.substr(start, end == std::string::npos ? end : end - start) + "\n";
    if (end == std::string::npos || end + 1 == message.size()) break;
    start = end + 1;
  }
  return lines;
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

bool parse_log_format(const std::string& text, log_format& format) {
  if (text == "text") format = log_format::text;
  else if (text == "json") format = log_format::json;
  else return false;
  return true;
}

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (const size_t length = utf8_length(text, i)) {
      out.append(text, i, length);
      i += length - 1;
    } else {
      out += "\\ufffd";  // not UTF-8: JSON text must be
    }
  }
  return out + "\"";
}

void log_output::configure(const char* program, log_level level) {
  g_program = program;
  g_level = static_cast<int>(level);
  g_journal = stderr_is_journal();
}

void log_output::set_level(log_level level) { g_level = static_cast<int>(level); }

void log_output::set_format(log_format format) { g_format = static_cast<int>(format); }

bool log_output::set_file(const std::string& path, std::string& error) {
  std::lock_guard<std::mutex> lock(g_file_mutex);
  if (path == g_path) return true;
  if (path.empty()) {
    // Back to stderr under the same number (never closed: a writer may hold it).
    if (g_fd.load() >= 0) dup2(STDERR_FILENO, g_fd.load());
    g_to_file = false;
    g_path.clear();
    return true;
  }
  const int fd = open_log(path, error);
  if (fd < 0) return false;
  install(fd, path);
  g_to_file = true;
  return true;
}

bool log_output::reopen(std::string& error) {
  std::lock_guard<std::mutex> lock(g_file_mutex);
  if (g_path.empty()) return true;
  const int fd = open_log(g_path, error);
  if (fd < 0) return false;
  install(fd, g_path);
  return true;
}

std::string log_output::file() {
  std::lock_guard<std::mutex> lock(g_file_mutex);
  return g_path;
}

log_format log_output::format() { return static_cast<log_format>(g_format.load()); }

bool log_output::enabled(log_level level) { return static_cast<int>(level) <= g_level.load(); }

void log_output::write(log_level level, const std::string& text, const log_fields& fields) {
  if (!enabled(level)) return;
  // The journal takes the priority from "<N>" and records time and name itself; a log
  // file has neither, so it always gets them.
  const bool journal = g_journal.load() && !g_to_file.load();
  const std::string priority = "<" + std::to_string(syslog_priority(level)) + ">";
  if (static_cast<log_format>(g_format.load()) == log_format::json) {
    write_all((journal ? priority : std::string()) + json_line(level, text, fields));
    return;
  }
  const std::string prefix = journal ? priority + log_level_name(level) + " "
                                     : timestamp() + " " + g_program + ": " + log_level_name(level) + " ";
  write_all(text_lines(text, prefix));
}

}  // namespace tools
}  // namespace qel
