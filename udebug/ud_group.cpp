// Groups of the trace table: lookup and creation, adding and removing members.
#include <algorithm>
#include <cstring>

#include "udebug/ud_internal.h"

namespace {

struct ud_values {
  uint32_t active, level, enter_exit;
};

uint32_t used_groups() { return std::max<uint32_t>(ud_trace_table.header.num_used_groups, 1); }

// Group members first, then blocks; `add` registers an unknown block.
uint32_t resolve_member_locked(const char* name, bool add) {
  if (const int group = ud_find_group_locked(name, false))
    return static_cast<uint32_t>(UD_MAX_DEBUG_BLOCKS + group);
  const int block = add ? ud_register_block_locked(name) : ud_find_block_locked(name);
  return static_cast<uint32_t>(block);
}

// Copies a group's values to a member; a member group passes them on to all
// of its members. The depth bound stops cycles of groups.
void copy_values_locked(const ud_values& v, uint32_t member, int depth) {
  if (member < UD_MAX_DEBUG_BLOCKS) {
    ud_block& b = ud_trace_table.blocks[member];
    ud_store(b.active, v.active);
    ud_store(b.level, v.level);
    ud_store(b.enter_exit, v.enter_exit);
    return;
  }
  if (depth >= UD_MAX_DEBUG_GROUPS) return;
  ud_group& g = ud_trace_table.groups[member - UD_MAX_DEBUG_BLOCKS];
  ud_store(g.active, v.active);
  ud_store(g.level, v.level);
  ud_store(g.enter_exit, v.enter_exit);
  for (uint32_t inner : g.members)
    if (inner != 0) copy_values_locked(v, inner, depth + 1);
}

}  // namespace

int ud_find_group_locked(const char* name, bool create) {
  ud_header& h = ud_trace_table.header;
  const uint32_t used = used_groups();
  // A name matching "Undefined" (group 0) is never created: it would be
  // shadowed by group 0 in every later search.
  for (uint32_t i = 0; i < used; ++i)
    if (ud_name_matches(ud_trace_table.groups[i].name, name)) return static_cast<int>(i);
  if (!create) return 0;
  if (used >= UD_MAX_DEBUG_GROUPS) {
    ud_message("Debug error:  name table size exceeded.\n");
    ud_message("  Increase UD_MAX_DEBUG_GROUPS in udebug.h to fix.\n");
    ud_message("  Sharing \"Undefined\" entry for \"%s\"\n", name);
    return 0;
  }
  ud_group& g = ud_trace_table.groups[used];
  ud_copy_name(g.name, name);
  ud_store(g.active, h.default_active);
  ud_store(g.level, h.default_level);
  ud_store(g.enter_exit, h.default_enter_exit);
  std::fill(std::begin(g.members), std::end(g.members), 0u);
  h.num_used_groups = used + 1;
  return static_cast<int>(used);
}

void ud_group_add(const char* member, const char* group) {
  ud_table_lock lock;
  const int index = ud_find_group_locked(group, true);
  if (index == 0) return;
  const uint32_t id = resolve_member_locked(member, true);
  if (id == 0) return;
  ud_group& g = ud_trace_table.groups[index];
  if (std::find(std::begin(g.members), std::end(g.members), id) != std::end(g.members)) return;
  for (int slot = MAX_BLOCKS_IN_GROUP - 1; slot >= 0; --slot) {
    if (g.members[slot] != 0) continue;
    g.members[slot] = id;
    copy_values_locked({g.active, g.level, g.enter_exit}, id, 0);
    return;
  }
  ud_message("Debug error:  table size exceeded.\n");
  ud_message("  Increase MAX_BLOCKS_IN_GROUP in udebug.h to fix.\n");
}

void ud_group_remove(const char* member, const char* group) {
  ud_table_lock lock;
  const int index = ud_find_group_locked(group, false);
  if (index == 0) {
    ud_message("group %s does not exist\n", group);
    return;
  }
  const uint32_t id = resolve_member_locked(member, false);
  if (id == 0) return;
  ud_group& g = ud_trace_table.groups[index];
  uint32_t* slot = std::find(std::begin(g.members), std::end(g.members), id);
  if (slot != std::end(g.members)) *slot = 0;
}
