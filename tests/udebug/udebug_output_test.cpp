// Trace lines: when they appear, their exact format, the output file, and
// the history ring.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "udebug/udebug.h"
#include "udebug_test_support.h"

namespace {

int g_enter_line, g_trace_line, g_exit_line, g_evaluated;

int shut_down(int x) {
  UD_ENTER("CS_ShutDown", "%d", x); g_enter_line = __LINE__;
  UD_TRACE(40000, "failure %d", ++g_evaluated); g_trace_line = __LINE__;
  UD_EXIT("%d", x + ++g_evaluated * 0 + 1); g_exit_line = __LINE__;
  return x + 1;
}

int g_helper_line;
void helper() {
  UD_ENTER("helper", ""); g_helper_line = __LINE__;
  UD_EXIT("");
}

int g_repeat_enter, g_repeat_loop, g_repeat_back, g_repeat_exit;
void repeat() {
  UD_ENTER("repeat", "%s", "go"); g_repeat_enter = __LINE__;
  for (int i = 0; i < 2; ++i) {
    UD_TRACE(43000, "i=%d", i); g_repeat_loop = __LINE__;
  }
  other_file_step(7);
  helper();
  UD_TRACE(42000, "back"); g_repeat_back = __LINE__;
  UD_EXIT("%d", 0); g_repeat_exit = __LINE__;
}

void listener_ctor() {
  UD_ENTER("listener::listener", "%p", static_cast<void*>(nullptr));
  UD_TRACE(43000, "detail %d", 43000);
  UD_TRACE(40000, "failure %d", 40000);
  UD_EXIT("%s", "");
}

void listener_start() {
  UD_ENTER("listener::start", "%s", "");
  UD_TRACE(43000, "start detail");
  UD_EXIT("%d", 0);
}

bool output_is_close_on_exec() {
  DIR* dir = opendir("/proc/self/fd");
  bool found = false, cloexec = false;
  while (dirent* e = readdir(dir)) {
    char link[4096] = "";
    const std::string fd_path = std::string("/proc/self/fd/") + e->d_name;
    if (readlink(fd_path.c_str(), link, sizeof link - 1) <= 0) continue;
    const size_t n = std::strlen(link);
    if (n < 7 || std::strcmp(link + n - 7, "/.udout") != 0) continue;
    found = true;
    cloexec = (fcntl(std::atoi(e->d_name), F_GETFD) & FD_CLOEXEC) != 0;
  }
  closedir(dir);
  return found && cloexec;
}

}  // namespace

QEL_FRESH_PROCESS_TEST(UdebugTest, DefaultSettingsPrintNothingAndRecreateTheFile) {
  write_file(".udout", "left over from an earlier run\n");
  ud_init(".", 1);
  ud_load_config(".");   // there is no ".udrc"
  for (int i = 0; i < 3; ++i) shut_down(i);
  EXPECT_EQ(read_file(".udout"), "");
  EXPECT_TRUE(output_is_close_on_exec());
  // Active by default: the trace call is made (its level filters it); the
  // exit site is off, so its arguments are never evaluated.
  EXPECT_EQ(g_evaluated, 3);
  run_commands("activate CS_ShutDown 0\n");
  shut_down(9);
  EXPECT_EQ(g_evaluated, 3);
  EXPECT_EQ(read_file(".udout"), "");
}

QEL_FRESH_PROCESS_TEST(UdebugTest, CommandFileEnablesEnterExitBeforeTheBlockExists) {
  write_file(".udrc", "# trace the shutdown\n\nenter_exit CS_ShutDown 1   # on\n");
  ud_init(".", 1);
  ud_load_config(".");
  shut_down(5);
  shut_down(5);
  const unsigned tid = this_thread_id();
  const auto lines = split_lines(read_file(".udout"));
  ASSERT_EQ(lines.size(), 4u);
  const std::string same = ". . " + filler(std::strlen("CS_ShutDown") + 1);
  const std::string e = std::to_string(g_enter_line), x = std::to_string(g_exit_line);
  EXPECT_EQ(strip_prefix(lines[0], tid),
            "udebug_output_test.cpp:CS_ShutDown!" + e + "  \tENTER CS_ShutDown: 5");
  EXPECT_EQ(strip_prefix(lines[1], tid), same + x + "  \tEXIT CS_ShutDown returns: 6");
  EXPECT_EQ(strip_prefix(lines[2], tid), same + e + "  \tENTER CS_ShutDown: 5");
  EXPECT_EQ(strip_prefix(lines[3], tid), same + x + "  \tEXIT CS_ShutDown returns: 6");
}

QEL_FRESH_PROCESS_TEST(UdebugTest, RepeatedEventsUseFillersAndFileChangesPrintNames) {
  write_file(".udrc",
             "enter_exit repeat 1\nlevel repeat 43000\nenter_exit other_step 1\n"
             "enter_exit helper 1\n");
  ud_init(".", 1);
  ud_load_config(".");
  repeat();
  const unsigned tid = this_thread_id();
  const auto lines = split_lines(read_file(".udout"));
  ASSERT_EQ(lines.size(), 9u);
  const std::string rep = ". . " + filler(7);
  const std::string loop = std::to_string(g_repeat_loop);
  const auto at = [](int line) { return std::to_string(line) + "  "; };
  EXPECT_EQ(strip_prefix(lines[0], tid),
            "udebug_output_test.cpp:repeat!" + at(g_repeat_enter) + "\tENTER repeat: go");
  EXPECT_EQ(strip_prefix(lines[1], tid), rep + loop + "  \ti=0");
  EXPECT_EQ(strip_prefix(lines[2], tid), rep + filler(loop.size() + 2) + "\ti=1");
  EXPECT_EQ(strip_prefix(lines[3], tid),
            "udebug_other.cpp:other_step!" + at(g_other_enter_line) + "\tENTER other_step: 7");
  EXPECT_EQ(strip_prefix(lines[4], tid),
            ". . " + filler(11) + at(g_other_exit_line) + "\tEXIT other_step returns: 8");
  EXPECT_EQ(strip_prefix(lines[5], tid),
            "udebug_output_test.cpp:helper!" + at(g_helper_line) + "\tENTER helper: ");
  EXPECT_EQ(strip_prefix(lines[6], tid), ". . " + filler(7) + at(g_helper_line + 1) +
                                             "\tEXIT helper returns: ");
  EXPECT_EQ(strip_prefix(lines[7], tid), ". . repeat!" + at(g_repeat_back) + "\tback");
  EXPECT_EQ(strip_prefix(lines[8], tid), rep + at(g_repeat_exit) + "\tEXIT repeat returns: 0");
}

QEL_FRESH_PROCESS_TEST(UdebugTest, LevelCommandMatchesTheFirstBlockByPrefix) {
  ud_init(".", 1);
  listener_ctor();
  listener_start();
  EXPECT_EQ(read_file(".udout"), "");
  write_file(".udrc", "level listener 43000\ndisplay\n");
  ud_load_config(".");
  listener_ctor();
  listener_start();
  const auto lines = split_lines(read_file(".udout"));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "Enter_Exit 0\tActive 0\tLevel 0\t\tUndefined");
  EXPECT_EQ(lines[1], "Enter_Exit 0\tActive 1\tLevel 43000\t\tlistener::listener");
  EXPECT_EQ(lines[2], "Enter_Exit 0\tActive 1\tLevel 30001\t\tlistener::start");
  const unsigned tid = this_thread_id();
  EXPECT_NE(strip_prefix(lines[3], tid).find("listener::listener!"), std::string::npos);
  EXPECT_NE(lines[3].find("\tdetail 43000"), std::string::npos);
  EXPECT_NE(lines[4].find("\tfailure 40000"), std::string::npos);
}

QEL_FRESH_PROCESS_TEST(UdebugTest, UnwritableOutputDirectoryFallsBackToStdout) {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int captured = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(captured, 0);
  dup2(captured, STDOUT_FILENO);
  ud_init("/nonexistent-udebug-dir/sub", 1);
  run_commands("enter_exit CS_ShutDown 1\n");
  shut_down(1);
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  close(captured);
  const auto lines = split_lines(read_file("stdout.txt"));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            "Unable to open /nonexistent-udebug-dir/sub/.udout to write for udebug output, "
            "udebug output goes to stdout");
  EXPECT_NE(strip_prefix(lines[1], this_thread_id()).find("\tENTER CS_ShutDown: 1"),
            std::string::npos);
  EXPECT_NE(lines[2].find("\tEXIT CS_ShutDown returns: 2"), std::string::npos);
}

namespace {
int g_ring_enter, g_ring_trace, g_ring_exit;
const char* const kText = "abc";
void ringer() {
  UD_ENTER("ringer", "%d %s", 7, kText); g_ring_enter = __LINE__;
  UD_TRACE(43000, "%lld %x", 0x1122334455667788LL, 0x99u); g_ring_trace = __LINE__;
  UD_EXIT("%.1f", 2.5); g_ring_exit = __LINE__;
}
}  // namespace

QEL_FRESH_PROCESS_TEST(UdebugTest, HistoryRingFillsWhilePrintingIsOff) {
  write_file(".udrc", "print console 0\nenter_exit ringer 1\nlevel ringer 43000\n");
  ud_init(".", 1);
  ud_load_config(".");
  ringer();
  EXPECT_EQ(read_file(".udout"), "");
  const ud_ring* ring = ud_current_ring();
  ASSERT_NE(ring, nullptr);
  EXPECT_EQ(ring->thread_id, this_thread_id());
  EXPECT_EQ(ring->index, 3u);
  const ud_ring_entry& enter = ring->entries[0];
  EXPECT_STREQ(ud_attach(nullptr)->blocks[enter.block].name, "ringer");
  EXPECT_EQ(enter.line, static_cast<uint32_t>(g_ring_enter));
  EXPECT_STREQ(enter.file, __FILE__);
  EXPECT_STREQ(enter.format, "%d %s");
  EXPECT_EQ(enter.args[0], 7u);
  const uintptr_t text = enter.args[1] | (static_cast<uintptr_t>(enter.args[2]) << 32);
  EXPECT_EQ(reinterpret_cast<const char*>(text), kText);
  const ud_ring_entry& trace = ring->entries[1];
  EXPECT_EQ(trace.line, static_cast<uint32_t>(g_ring_trace));
  EXPECT_EQ(trace.args[0], 0x55667788u);
  EXPECT_EQ(trace.args[1], 0x11223344u);
  EXPECT_EQ(trace.args[2], 0x99u);
  const ud_ring_entry& exit = ring->entries[2];
  EXPECT_EQ(exit.line, static_cast<uint32_t>(g_ring_exit));
  EXPECT_EQ(exit.args[0], 0u);           // 2.5 is 0x4004000000000000
  EXPECT_EQ(exit.args[1], 0x40040000u);
  EXPECT_GT(exit.time, enter.time - 1e-6);
  run_commands("print console 1\n");
  ringer();
  EXPECT_EQ(split_lines(read_file(".udout")).size(), 3u);
  EXPECT_EQ(ring->index, 6u);
}
