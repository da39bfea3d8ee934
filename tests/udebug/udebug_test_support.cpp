#include "udebug_test_support.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "udebug/udebug.h"

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string filler(size_t width) {
  std::string text(width, ' ');
  for (size_t i = 0; i < width; i += 2) text[i] = '.';
  return text;
}

unsigned this_thread_id() { return static_cast<unsigned>(gettid()); }

bool split_prefix(const std::string& line, double& when, std::string& thread,
                  std::string& rest) {
  // "ud %f %8x ": seconds with six decimals, the thread id in 8 columns.
  if (line.compare(0, 3, "ud ") != 0) return false;
  size_t p = 3;
  const size_t digits = line.find_first_not_of("0123456789", p);
  if (digits == p || digits == std::string::npos || line[digits] != '.') return false;
  const size_t fraction = line.find_first_not_of("0123456789", digits + 1);
  if (fraction != digits + 7 || line.size() < fraction + 10 || line[fraction] != ' ') return false;
  thread = line.substr(fraction + 1, 8);
  if (thread.find_first_not_of(" 0123456789abcdef") != std::string::npos || thread[7] == ' ' ||
      line[fraction + 9] != ' ')
    return false;
  when = std::stod(line.substr(p, fraction - p));
  rest = line.substr(fraction + 10);
  return true;
}

std::string strip_prefix(const std::string& line, unsigned thread_id) {
  double when = 0;
  std::string thread, rest;
  if (!split_prefix(line, when, thread, rest)) {
    ADD_FAILURE() << "not a trace line: " << line;
    return line;
  }
  EXPECT_NEAR(when, static_cast<double>(time(nullptr)), 120.0) << line;
  char tid[16];
  std::snprintf(tid, sizeof tid, "%8x", thread_id);
  EXPECT_EQ(thread, tid) << line;
  return rest;
}

void run_commands(const std::string& commands) {
  FILE* in = fmemopen(const_cast<char*>(commands.data()), commands.size(), "r");
  ASSERT_NE(in, nullptr);
  ud_debug_input(in);   // closes `in`
}

std::string usage_text() {
  return "ud_debug_input usage: action name argument\n"
         "  where action is one of:\n"
         " activate XXXbuf_crash display enter_exit group help level print quit removegroup state"
         ".\n"
         "  For XXXbuf_crash/help/quit/state actions, they do not take any name or argument.\n"
         "  For other actions, name is the registered module/group name for this action.\n"
         "  For group/removegroup actions, argument is the group name.\n"
         "  For other actions, argument is an unsigned integer argument to the action.\n"
         "  For those actions that take a toggle value, 1 is on/true and 0 if off/false.\n";
}
