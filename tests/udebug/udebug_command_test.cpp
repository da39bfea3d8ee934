// The command interpreter: action lookup, argument checks, groups, table
// limits and where commands are read from.
#include <cstdio>
#include <string>
#include <utility>

#include "udebug/udebug.h"
#include "udebug_test_support.h"

namespace {

std::string state_header(const char* file = "unused", const char* block = "none",
                         int line = 9999) {
  return "\nud_state: \nprint_on_console 1\ninitial activation 1, level 030001, enter_exit 0\n"
         "current file " + std::string(file) + ", name " + block + ", line " +
         std::to_string(line) + "\n";
}

char name_buffer[16];
const char* numbered(const char* stem, int i) {
  std::snprintf(name_buffer, sizeof name_buffer, "%s%03d", stem, i);
  return name_buffer;
}

}  // namespace

QEL_FRESH_PROCESS_TEST(UdebugTest, ActionsAreFoundByTheirFirstLetters) {
  const std::pair<const char*, int> cases[] = {
      {"a", 1},   {"X", 2},     {"d", 3},  {"e", 4},     {"gr", 5},  {"h", 6},     {"lev", 7},
      {"p", 8},   {"q", 9},     {"r", 10}, {"state", 11}, {"levelx", 0}, {"KIL", 0},
      {"KILL", 0}, {"Help", 0}};
  for (const auto& [command, action] : cases) EXPECT_EQ(ud_find_action(command), action) << command;
}

QEL_FRESH_PROCESS_TEST(UdebugTest, BadCommandsPrintMessagesAndUsage) {
  write_file(".udrc",
             "activate x 2\nlevel x -1\nbogus x 1\nKILL\n   \nh\nXXX\nenter_exit y 1 # on\n"
             "print console 7\nstate\nquit\nstate\n");
  ud_init(".", 1);
  ud_load_config(".");
  const std::string expected =
      "ud_debug_input:  Invalid argument '2'.\n" + usage_text() +
      "ud_debug_input:  Invalid argument '-1'.\n" + usage_text() +
      "ud_debug_input:  Unknown action 'bogus'.\n" + usage_text() +
      "ud_debug_input:  Unknown action 'KILL'.\n" + usage_text() +
      usage_text() +
      "ud_debug_input:  Invalid argument '7'.\n" + usage_text() +
      state_header() +
      "num_used_blocks 2\n"
      "0:  active 0, level      0, enter_exit 0, name Undefined\n"
      "1:  active 1, level  30001, enter_exit 1, name y\n"
      "num_used_groups 1\n"
      "0: active 0, level      0, enter_exit 0, name Undefined\n"
      "state dump done.\n";
  EXPECT_EQ(read_file(".udout"), expected);
}

QEL_FRESH_PROCESS_TEST(UdebugTest, GroupsPassTheirValuesToMembers) {
  write_file(".udrc",
             "group blockA g1\n"
             "level g1 43000\n"
             "group blockB g2\n"
             "group g2 g1\n"
             "enter_exit g1 1\n"
             "group blockC g3\n"
             "level g3 42000\n"
             "group blockD g3\n"
             "removegroup blockA g1\n"
             "removegroup blockZ g1\n"
             "removegroup blockA nosuch\n"
             "activate g1 0\n"
             "state\n");
  ud_init(".", 1);
  ud_load_config(".");
  EXPECT_EQ(read_file(".udout"),
            "group nosuch does not exist\n" + state_header() +
                "num_used_blocks 5\n"
                "0:  active 0, level      0, enter_exit 0, name Undefined\n"
                "1:  active 1, level  43000, enter_exit 1, name blockA\n"
                "2:  active 0, level  43000, enter_exit 1, name blockB\n"
                "3:  active 1, level  42000, enter_exit 0, name blockC\n"
                "4:  active 1, level  42000, enter_exit 0, name blockD\n"
                "num_used_groups 4\n"
                "0: active 0, level      0, enter_exit 0, name Undefined\n"
                "1: active 0, level  43000, enter_exit 1, name g1\n"
                "2: active 0, level  43000, enter_exit 1, name g2\n"
                "3: active 1, level  42000, enter_exit 0, name g3\n"
                "state dump done.\n");
  const ud_table_t* table = ud_attach(nullptr);
  // Members take the highest free slots; a removed member frees its slot.
  EXPECT_EQ(table->groups[1].members[255], 0u);
  EXPECT_EQ(table->groups[1].members[254], 256u + 2u);
  EXPECT_EQ(table->groups[3].members[255], 3u);
  EXPECT_EQ(table->groups[3].members[254], 4u);
  // A cycle of groups must not recurse for ever.
  run_commands("group g1 g2\nlevel g1 5\ngroup g3 g3\nactivate g3 0\n");
  EXPECT_EQ(table->blocks[2].level, 5u);
  EXPECT_EQ(table->blocks[1].level, 43000u);
  EXPECT_EQ(table->blocks[4].active, 0u);
}

QEL_FRESH_PROCESS_TEST(UdebugTest, FullTablesShareTheUndefinedEntry) {
  ud_init(".", 1);
  for (int i = 1; i < UD_MAX_DEBUG_BLOCKS; ++i) {
    ud_site(0, __FILE__, __LINE__);
    ASSERT_EQ(ud_enter(numbered("blk", i), "%d", i), i);
  }
  ud_site(0, __FILE__, __LINE__);
  EXPECT_EQ(ud_enter("overflow", "%d", 0), 0);
  std::string commands = "enter_exit overflow 1\n";   // cannot register either
  for (int g = 1; g <= 62; ++g) commands += "group blk001 " + std::string(numbered("g", g)) + "\n";
  for (int i = 1; i < UD_MAX_DEBUG_BLOCKS; ++i)
    commands += "group " + std::string(numbered("blk", i)) + " big\n";   // "big": group 63
  commands += "group blk001 g063\n";                      // no group left
  commands += "group g001 big\ngroup g002 big\n";         // the 257th member
  commands += "group blk003 big\n";                       // already a member
  run_commands(commands);
  const std::string shared = "  Sharing \"Undefined\" entry for ";
  EXPECT_EQ(read_file(".udout"),
            "Debug error:  name table size exceeded.\n"
            "  Increase UD_MAX_DEBUG_BLOCKS in udebug.h to fix.\n" + shared + "\"overflow\"\n"
            "Debug error:  name table size exceeded.\n"
            "  Increase UD_MAX_DEBUG_BLOCKS in udebug.h to fix.\n" + shared + "\"overflow\"\n"
            "Debug error:  name table size exceeded.\n"
            "  Increase UD_MAX_DEBUG_GROUPS in udebug.h to fix.\n" + shared + "\"g063\"\n"
            "Debug error:  table size exceeded.\n"
            "  Increase MAX_BLOCKS_IN_GROUP in udebug.h to fix.\n");
  const ud_table_t* table = ud_attach(nullptr);
  EXPECT_EQ(table->header.num_used_blocks, 256u);
  EXPECT_EQ(table->header.num_used_groups, 64u);
  EXPECT_EQ(table->blocks[0].enter_exit, 0u);
  EXPECT_STREQ(table->blocks[0].name, "Undefined");
  EXPECT_EQ(table->groups[63].members[0], 256u + 1u);
}

QEL_FRESH_PROCESS_TEST(UdebugTest, CommandsComeFromDirectoriesOrTheConsole) {
  write_file(".udrc", "help\n");
  ud_init(".", 1);
  ud_load_config("/nonexistent-udebug-dir");
  ud_load_config(".udrc");   // a file, not a directory
  ud_load_config("");
  EXPECT_EQ(read_file(".udout"), "");
  ud_load_config(".//\\ \t\n");
  EXPECT_EQ(read_file(".udout"), usage_text());
  write_file("console.txt", "state\nquit\nhelp\n");
  ASSERT_NE(std::freopen("console.txt", "r", stdin), nullptr);
  ud_load_config(nullptr);
  EXPECT_EQ(read_file(".udout"),
            usage_text() + "type 'h' for help, 'q' to quit the session.\n" + state_header() +
                "num_used_blocks 1\n"
                "0:  active 0, level      0, enter_exit 0, name Undefined\n"
                "num_used_groups 1\n"
                "0: active 0, level      0, enter_exit 0, name Undefined\n"
                "state dump done.\n");
}
