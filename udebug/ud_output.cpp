// The output stream of the trace facility and the line format of an event.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "udebug/ud_internal.h"

namespace {

std::mutex g_output_mutex;
FILE* g_output = nullptr;   // set once, under the output mutex

ud_header& header() { return ud_trace_table.header; }

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
  if (length > 0 && static_cast<size_t>(length) < sizeof path) {
    std::remove(path);
    // "e": the descriptor is close-on-exec from the start, so a child started
    // by another thread never inherits it.
    g_output = std::fopen(path, "a+e");
  }
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
  out.print("ud %f %8x ", entry.time, ring.thread_id);
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
