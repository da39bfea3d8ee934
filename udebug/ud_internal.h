// Internals shared by the files of the trace facility; nobody outside udebug/
// includes this header.
//
// Locks: the table lock (ud_table_lock) guards registration, lookup and every
// change of the trace table; the output guard holds the output mutex and guards
// the output stream and the last printed file/block/line. When both are needed
// the table lock is taken first. Functions named *_locked expect the table lock
// held.
#ifndef QEL_UDEBUG_UD_INTERNAL_H
#define QEL_UDEBUG_UD_INTERNAL_H

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <mutex>

#include "udebug/udebug.h"

enum class ud_event { enter, exit, plain };

// ---- table (ud_table.cpp, ud_group.cpp) ----
// Holds the table mutex. The first lock ever taken fills the header, block 0 and
// group 0 with their initial values; nothing resets them later, so block ids
// handed out before ud_init stay valid.
class ud_table_lock {
 public:
  ud_table_lock();
  ud_table_lock(const ud_table_lock&) = delete;
  ud_table_lock& operator=(const ud_table_lock&) = delete;

 private:
  std::lock_guard<std::mutex> lock_;
};
// Copies a name truncated to 127 characters.
void ud_copy_name(char (&dst)[UD_NAME_SIZE], const char* src);
// A searched name matches an entry whose name begins with it (at most 127
// characters compared).
bool ud_name_matches(const char* entry, const char* name);
// Index of the first block whose name begins with `name`, registering it when
// there is none; 0 when the name matches "Undefined" or the table is full.
int ud_register_block_locked(const char* name);
// Same search without registering.
int ud_find_block_locked(const char* name);
// Group index of `name` (created when asked and possible); 0 if none.
int ud_find_group_locked(const char* name, bool create);
// Sets activation (1), enter/exit (4) or level (7) on a group and its members
// or on a block (registered if needed).
void ud_set_value(int action, const char* name, uint32_t value);
void ud_set_print(uint32_t value);
void ud_group_add(const char* member, const char* group);
void ud_group_remove(const char* member, const char* group);

inline void ud_store(uint32_t& field, uint32_t value) {
  __atomic_store_n(&field, value, __ATOMIC_RELAXED);
}

// ---- output (ud_output.cpp) ----
// Holds the output mutex; prints go to the output stream (stdout before one
// is set), each followed by fflush.
class ud_output_guard {
 public:
  ud_output_guard();
  ud_output_guard(const ud_output_guard&) = delete;
  ud_output_guard& operator=(const ud_output_guard&) = delete;

  void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void vprint(const char* format, va_list args);
  void filler(size_t width);   // '.' at even positions, ' ' at odd ones
  FILE* stream() const { return out_; }

 private:
  std::lock_guard<std::mutex> lock_;
  FILE* out_;
};

// A facility message (usage, errors) printed under the output mutex.
void ud_message(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Sets the output stream once: "<dir>/.udout", or stdout for a null dir or
// when the file cannot be opened.
void ud_open_output(const char* output_dir);
// Prints the line of an event recorded in `entry` of `ring`.
void ud_print_event(const ud_ring& ring, const ud_ring_entry& entry,
                    ud_event type, va_list args);

// ---- rings (ud_ring.cpp, ud_args.cpp) ----
// Creates the thread-specific key once.
void ud_create_key();
// Copies the first four 32-bit argument words described by `format`.
void ud_capture_words(const char* format, va_list args,
                      uint32_t (&words)[UD_RING_ARG_WORDS]);

// ---- commands (ud_command.cpp, ud_report.cpp) ----
struct ud_action_word {
  const char* word;
  int code;
};
// The action table in its fixed order.
struct ud_action_list {
  const ud_action_word* first;
  const ud_action_word* last;
  const ud_action_word* begin() const { return first; }
  const ud_action_word* end() const { return last; }
};
ud_action_list ud_action_table();
void ud_usage();
void ud_display();

#endif  // QEL_UDEBUG_UD_INTERNAL_H
