// The action table and the texts the interpreter prints: usage, display and
// the state dump.
#include "udebug/ud_internal.h"

namespace {

const ud_action_word kActions[] = {
    {"UNKNOWN", UD_ACTION_UNKNOWN},
    {"activate", UD_ACTION_ACTIVATE},
    {"XXXbuf_crash", UD_ACTION_BUF_CRASH},
    {"display", UD_ACTION_DISPLAY},
    {"enter_exit", UD_ACTION_ENTER_EXIT},
    {"group", UD_ACTION_GROUP},
    {"help", UD_ACTION_HELP},
    {"level", UD_ACTION_LEVEL},
    {"print", UD_ACTION_PRINT},
    {"quit", UD_ACTION_QUIT},
    {"removegroup", UD_ACTION_REMOVEGROUP},
    {"state", UD_ACTION_STATE},
    {"KIL_notreally", UD_ACTION_UNKNOWN},
    {"KILL", UD_ACTION_UNKNOWN},
};

}  // namespace

ud_action_list ud_action_table() {
  return {kActions, kActions + sizeof kActions / sizeof kActions[0]};
}

void ud_usage() {
  ud_output_guard out;
  out.print("ud_debug_input usage: action name argument\n");
  out.print("  where action is one of:\n");
  for (const ud_action_word& action : ud_action_table())
    if (action.code != UD_ACTION_UNKNOWN) out.print(" %s", action.word);
  out.print(".\n");
  out.print("  For XXXbuf_crash/help/quit/state actions, they do not take any name or argument.\n");
  out.print("  For other actions, name is the registered module/group name for this action.\n");
  out.print("  For group/removegroup actions, argument is the group name.\n");
  out.print("  For other actions, argument is an unsigned integer argument to the action.\n");
  out.print("  For those actions that take a toggle value, 1 is on/true and 0 if off/false.\n");
}

void ud_display() {
  ud_table_lock lock;
  ud_output_guard out;
  const uint32_t used = ud_trace_table.header.num_used_blocks;
  for (uint32_t i = 0; i < used; ++i) {
    const ud_block& b = ud_trace_table.blocks[i];
    out.print("Enter_Exit %u\tActive %u\tLevel %u\t\t%s\n", ud_flag(b.enter_exit),
              ud_flag(b.active), ud_flag(b.level), b.name);
  }
}

void ud_state() noexcept {
  ud_table_lock lock;
  ud_output_guard out;
  const ud_header& h = ud_trace_table.header;
  out.print("\nud_state: \n");
  out.print("print_on_console %d\n", static_cast<int>(ud_flag(h.print_on_console)));
  out.print("initial activation %01d, level %06d, enter_exit %01d\n",
            static_cast<int>(h.default_active), static_cast<int>(h.default_level),
            static_cast<int>(h.default_enter_exit));
  out.print("current file %s, name %s, line %d\n", h.last_file, h.last_block,
            static_cast<int>(h.last_line));
  out.print("num_used_blocks %d\n", static_cast<int>(h.num_used_blocks));
  for (uint32_t i = 0; i < h.num_used_blocks; ++i) {
    const ud_block& b = ud_trace_table.blocks[i];
    out.print("%d:  active %1d, level %6d, enter_exit %1d, name %s\n", static_cast<int>(i),
              static_cast<int>(ud_flag(b.active)), static_cast<int>(ud_flag(b.level)),
              static_cast<int>(ud_flag(b.enter_exit)), b.name);
  }
  out.print("num_used_groups %d\n", static_cast<int>(h.num_used_groups));
  for (uint32_t i = 0; i < h.num_used_groups; ++i) {
    const ud_group& g = ud_trace_table.groups[i];
    out.print("%d: active %1d, level %6d, enter_exit %1d, name %s\n", static_cast<int>(i),
              static_cast<int>(ud_flag(g.active)), static_cast<int>(ud_flag(g.level)),
              static_cast<int>(ud_flag(g.enter_exit)), g.name);
  }
  out.print("state dump done.\n");
}
