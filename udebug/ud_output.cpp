// The output stream of the trace facility and the line format of an event.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "udebug/ud_internal.h"

namespace {

std::mutex g_output_mutex;
FILE* g_output = nullptr;   // set once, under the output mutex

ud_header& header() { return ud_trace_table.header; }

// "ud <seconds>.<microseconds> ", as "%f" prints it in the C locale: the host's
// LC_NUMERIC (a decimal comma) must not change the line format.
void print_time(ud_output_guard& out, double time) {
  long long micros = std::llround(time * 1e6);
  if (micros < 0) micros = 0;
  out.print("ud %lld.%06lld ", micros / 1000000, micros % 1000000);
}

// File field: the base name and ':' when the file differs from the last
// printed one, else ". . ". Returns whether the file changed.
bool print_file_field(ud_output_guard& out, const char* file) {
  const size_t n = std::min<size_t>(std::strlen(file), UD_NAME_SIZE - 1);
  if (std::strncmp(file, header().last_file, n) == 0) {
    out.print(". . ");
    return false;
  }
  const char* slash = std::strrchr(file, '/');
  out.print("%s:", slash ? slash + 1 : file);
  ud_copy_name(header().last_file, file);
  return true;
}

// Short line field: the number only when it changed, else a filler.
void print_short_line(ud_output_guard& out, uint32_t line) {
  char text[16];
  std::snprintf(text, sizeof text, "%d ", static_cast<int>(line));
  if (line != header().last_line) {
    out.print("%s ", text);
    header().last_line = line;
  } else {
    out.filler(std::strlen(text) + 1);
  }
}

void print_block_field(ud_output_guard& out, const char* name, uint32_t line,
                       bool file_changed) {
  if (!file_changed && std::strcmp(name, header().last_block) == 0) {
    out.filler(std::strlen(name) + 1);
    print_short_line(out, line);
    return;
  }
  out.print("%s!", name);
  ud_copy_name(header().last_block, name);
  char text[16];
  std::snprintf(text, sizeof text, "%d ", static_cast<int>(line));
  out.print("%s ", text);
  header().last_line = line;
}

// The output file holds parts of request bodies: it is created for the owner
// only (0600), never through a symbolic link (O_NOFOLLOW: a link planted in its
// place fails the open), and only a regular file is accepted. The old file is
// removed first so that its mode and owner do not carry over. "e" / O_CLOEXEC:
// a child started by another thread never inherits it.
FILE* open_private_file(const char* path) {
  std::remove(path);
  const int fd = ::open(path, O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                        S_IRUSR | S_IWUSR);
  if (fd < 0) return nullptr;
  struct stat info {};
  const bool usable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                      ((info.st_mode & 077) == 0 || ::fchmod(fd, S_IRUSR | S_IWUSR) == 0) &&
                      ::fcntl(fd, F_SETFL, O_APPEND) == 0;
  FILE* file = usable ? ::fdopen(fd, "a+e") : nullptr;
  if (!file) ::close(fd);
  return file;
}

}  // namespace

ud_output_guard::ud_output_guard()
    : lock_(g_output_mutex), out_(g_output ? g_output : stdout) {}

void ud_output_guard::print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vprint(format, args);
  va_end(args);
}

void ud_output_guard::vprint(const char* format, va_list args) {
  std::vfprintf(out_, format, args);
  std::fflush(out_);
}

void ud_output_guard::filler(size_t width) {
  for (size_t i = 0; i < width; ++i) std::fputc(i % 2 == 0 ? '.' : ' ', out_);
  std::fflush(out_);
}

void ud_message(const char* format, ...) {
  ud_output_guard out;
  va_list args;
  va_start(args, format);
  out.vprint(format, args);
  va_end(args);
}

void ud_open_output(const char* output_dir) {
  std::lock_guard<std::mutex> lock(g_output_mutex);
  if (g_output) return;
  if (!output_dir) {
    g_output = stdout;
    return;
  }
  char path[PATH_MAX];
  const int length = std::snprintf(path, sizeof path, "%s/%s.%s", output_dir, "", "udout");
  if (length > 0 && static_cast<size_t>(length) < sizeof path) g_output = open_private_file(path);
  if (!g_output) {
    std::printf("Unable to open %s to write for udebug output, udebug output goes to stdout\n",
                path);
    std::fflush(stdout);
    g_output = stdout;
  }
}

void ud_print_event(const ud_ring& ring, const ud_ring_entry& entry,
                    ud_event type, va_list args) {
  ud_output_guard out;
  print_time(out, entry.time);
  out.print("%8x ", ring.thread_id);
  const bool file_changed = print_file_field(out, entry.file ? entry.file : "");
  const char* name = ud_trace_table.blocks[entry.block].name;
  print_block_field(out, name, entry.line, file_changed);
  out.print("\t");
  if (type == ud_event::enter) out.print("ENTER %s: ", name);
  if (type == ud_event::exit) out.print("EXIT %s returns: ", name);
  if (entry.format)
    out.vprint(entry.format, args);
  else
    out.print("NULL");
  out.print("\n");
}
