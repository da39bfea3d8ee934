// The facility's life in a host: traces made before the first ud_init, rings of
// threads that end, and the files it opens in the working directory.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/decimal_comma_locale.h"
#include "udebug/udebug.h"
#include "udebug_test_support.h"

namespace {

void set_reverse_connection(int enable) {
  UD_ENTER("SetReverseConnection", "enable %d", enable);
  UD_EXIT("%d", 0);
}

void cs_init(const char* name) {
  UD_ENTER("CS_Init", "agent %s", name);
  UD_EXIT("%d", 0);
}

void traced_step() {
  UD_ENTER("step", "%s", "");
  UD_TRACE(40000, "%s", "working");
  UD_EXIT("%s", "");
}

// Every line of the output without its prefix (written by the calling thread).
std::vector<std::string> bodies() {
  std::vector<std::string> out;
  for (const std::string& line : split_lines(read_file(".udout")))
    out.push_back(strip_prefix(line, this_thread_id()));
  return out;
}

bool has(const std::string& line, const std::string& part) {
  return line.find(part) != std::string::npos;
}

}  // namespace

QEL_FRESH_PROCESS_TEST(UdebugLifecycle, BlocksRegisteredBeforeInitKeepTheirNamesAndSettings) {
  set_reverse_connection(1);  // a host calling this before CS_Init registers the block
  write_file(".udrc", "enter_exit CS_Init 1\nenter_exit SetReverseConnection 1\n");
  ud_init(".", 1);
  ud_load_config(".");
  cs_init("agent-1");
  set_reverse_connection(0);
  const auto lines = bodies();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(has(lines[0], "\tENTER CS_Init: agent agent-1")) << lines[0];
  EXPECT_TRUE(has(lines[2], "\tENTER SetReverseConnection: enable 0")) << lines[2];
  EXPECT_TRUE(has(lines[3], "\tEXIT SetReverseConnection returns: 0")) << lines[3];
  run_commands("display\n");
  const std::string table = read_file(".udout");
  EXPECT_NE(table.find("Enter_Exit 1\tActive 1\tLevel 30001\t\tSetReverseConnection"),
            std::string::npos) << table;
  EXPECT_EQ(table.find("\t\tCS_Init\n"), table.rfind("\t\tCS_Init\n")) << "registered twice";
}

QEL_FRESH_PROCESS_TEST(UdebugLifecycle, RingOfAThreadIsFreedWhenTheThreadEnds) {
  ud_init(".", 1);
  traced_step();  // this thread keeps its ring
  const unsigned long before = ud_ring_count();
  EXPECT_GE(before, 1u);
  for (int round = 0; round < 3; ++round) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 20; ++t) threads.emplace_back([] { traced_step(); });
    for (auto& thread : threads) thread.join();
  }
  EXPECT_EQ(ud_ring_count(), before);
  std::thread quiet([] {});  // a thread that never traces makes no ring
  quiet.join();
  EXPECT_EQ(ud_ring_count(), before);
}

QEL_FRESH_PROCESS_TEST(UdebugLifecycle, SpecialFilesNamedUdrcAreNotRead) {
  ud_init(".", 1);
  ASSERT_EQ(mkfifo(".udrc", 0600), 0);
  ud_load_config(".");  // a FIFO without a writer would block a plain open for ever
  EXPECT_NE(read_file(".udout").find(".udrc is not a regular file"), std::string::npos);
  ASSERT_EQ(unlink(".udrc"), 0);
  ASSERT_EQ(mkdir(".udrc", 0700), 0);
  ud_load_config(".");
  write_file("commands", "enter_exit step 1\n");
  ASSERT_EQ(rmdir(".udrc"), 0);
  ASSERT_EQ(symlink("commands", ".udrc"), 0);  // a link to a regular file is read
  ud_load_config(".");
  traced_step();
  EXPECT_NE(read_file(".udout").find("ENTER step"), std::string::npos);
}

QEL_FRESH_PROCESS_TEST(UdebugLifecycle, OutputFileIsPrivateAndNeverWrittenThroughALink) {
  umask(022);
  write_file("victim", "keep me\n");
  ASSERT_EQ(symlink("victim", ".udout"), 0);
  ud_init(".", 1);
  run_commands("enter_exit step 1\n");
  traced_step();
  EXPECT_EQ(read_file("victim"), "keep me\n");
  struct stat info {};
  ASSERT_EQ(lstat(".udout", &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_NE(read_file(".udout").find("ENTER step"), std::string::npos);
}

QEL_FRESH_PROCESS_TEST(UdebugLifecycle, TimesKeepTheirDecimalPointInAnyLocale) {
  if (!qeltest::use_decimal_comma_locale()) GTEST_SKIP() << "no locale with a decimal comma";
  ud_init(".", 1);
  run_commands("enter_exit step 1\n");
  traced_step();
  const auto lines = split_lines(read_file(".udout"));
  ASSERT_EQ(lines.size(), 2u);
  for (const std::string& line : lines) strip_prefix(line, this_thread_id());  // checks "%f"
}
