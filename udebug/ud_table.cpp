// The trace table: initial values, block registration and lookup, and setting
// activation, enter/exit and level on blocks and groups.
#include <algorithm>
#include <cstring>

#include "udebug/ud_internal.h"

ud_table_t ud_trace_table;   // zero-initialised, filled by the first table lock

namespace {

ud_header& header() { return ud_trace_table.header; }

// Entry 0 is always reserved; the count is at least 1 once the table lock was taken.
uint32_t used_blocks() { return header().num_used_blocks; }

uint32_t* value_field(uint32_t& active, uint32_t& level, uint32_t& enter_exit,
                      int action) {
  switch (action) {
    case UD_ACTION_ACTIVATE: return &active;
    case UD_ACTION_ENTER_EXIT: return &enter_exit;
    case UD_ACTION_LEVEL: return &level;
    default: return nullptr;
  }
}

void set_block_value(int block, int action, uint32_t value) {
  ud_block& b = ud_trace_table.blocks[block];
  if (uint32_t* f = value_field(b.active, b.level, b.enter_exit, action)) ud_store(*f, value);
}

// Groups nest at most UD_MAX_DEBUG_GROUPS deep unless they form a cycle;
// the depth bound keeps a cycle from recursing for ever.
void set_group_value(int group, int action, uint32_t value, int depth) {
  if (depth >= UD_MAX_DEBUG_GROUPS) return;
  ud_group& g = ud_trace_table.groups[group];
  if (uint32_t* f = value_field(g.active, g.level, g.enter_exit, action)) ud_store(*f, value);
  for (uint32_t member : g.members) {
    if (member == 0) continue;
    if (member < UD_MAX_DEBUG_BLOCKS)
      set_block_value(static_cast<int>(member), action, value);
    else
      set_group_value(static_cast<int>(member - UD_MAX_DEBUG_BLOCKS), action, value, depth + 1);
  }
}

std::mutex g_table_mutex;
bool g_filled = false;   // under g_table_mutex

void fill_initial_values() {
  ud_header& h = header();
  ud_copy_name(h.last_file, "unused");
  ud_copy_name(h.last_block, "none");
  h.last_line = 9999;
  h.default_enter_exit = 0;
  h.default_active = 1;
  h.default_level = 30001;
  ud_store(h.print_on_console, 1);
  h.num_used_blocks = 1;
  h.num_used_groups = 1;
  ud_block& b0 = ud_trace_table.blocks[0];
  ud_store(b0.active, 0);
  ud_store(b0.level, 0);
  ud_store(b0.enter_exit, 0);
  ud_copy_name(b0.name, "Undefined");
  ud_group& g0 = ud_trace_table.groups[0];
  g0.active = g0.level = g0.enter_exit = 0;
  ud_copy_name(g0.name, "Undefined");
}

}  // namespace

ud_table_lock::ud_table_lock() : lock_(g_table_mutex) {
  if (g_filled) return;
  fill_initial_values();
  g_filled = true;
}

bool ud_name_matches(const char* entry, const char* name) {
  const size_t n = std::min<size_t>(std::strlen(name), UD_NAME_SIZE - 1);
  return std::strncmp(entry, name, n) == 0;
}

void ud_copy_name(char (&dst)[UD_NAME_SIZE], const char* src) {
  std::strncpy(dst, src, UD_NAME_SIZE - 1);
  dst[UD_NAME_SIZE - 1] = '\0';
}

// Index of the first block whose name begins with `name`, -1 if none.
static int search_blocks(const char* name) {
  const uint32_t used = used_blocks();
  for (uint32_t i = 0; i < used; ++i)
    if (ud_name_matches(ud_trace_table.blocks[i].name, name)) return static_cast<int>(i);
  return -1;
}

int ud_find_block_locked(const char* name) { return std::max(search_blocks(name), 0); }

int ud_register_block_locked(const char* name) {
  const int found = search_blocks(name);
  if (found >= 0) return found;
  const uint32_t used = used_blocks();
  if (used >= UD_MAX_DEBUG_BLOCKS) {
    ud_message("Debug error:  name table size exceeded.\n");
    ud_message("  Increase UD_MAX_DEBUG_BLOCKS in udebug.h to fix.\n");
    ud_message("  Sharing \"Undefined\" entry for \"%s\"\n", name);
    return 0;
  }
  const ud_header& h = header();
  ud_block& b = ud_trace_table.blocks[used];
  ud_copy_name(b.name, name);
  ud_store(b.active, h.default_active);
  ud_store(b.level, h.default_level);
  ud_store(b.enter_exit, h.default_enter_exit);
  header().num_used_blocks = used + 1;
  return static_cast<int>(used);
}

void ud_set_value(int action, const char* name, uint32_t value) {
  ud_table_lock lock;
  if (const int group = ud_find_group_locked(name, false)) {
    set_group_value(group, action, value, 0);
    return;
  }
  // Registering here lets a command file configure a block before its code
  // first runs.
  if (const int block = ud_register_block_locked(name)) set_block_value(block, action, value);
}

void ud_set_print(uint32_t value) {
  ud_table_lock lock;
  ud_store(header().print_on_console, value);
}
