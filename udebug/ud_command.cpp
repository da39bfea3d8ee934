// The command interpreter shared by the command file and the console.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "udebug/ud_internal.h"

namespace {

constexpr size_t kMaxLine = 130;
constexpr size_t kMaxConfigPath = 1024;

struct file_closer {
  void operator()(FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<FILE, file_closer>;

// The argument as the 32-bit platform read it: strtol saturates at the int range.
int to_argument(const char* text) {
  const long value = std::strtol(text, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

bool argument_valid(int action, int argument) {
  switch (action) {
    case UD_ACTION_ACTIVATE:
    case UD_ACTION_ENTER_EXIT:
    case UD_ACTION_PRINT:
      return argument == 0 || argument == 1;
    case UD_ACTION_LEVEL:
      return argument >= 0;
    default:
      return true;
  }
}

// Performs one command; false after "quit".
bool perform(int action, const char* name, const char* argument_text) {
  const int argument = to_argument(argument_text);
  if (!argument_valid(action, argument)) {
    ud_message("ud_debug_input:  Invalid argument '%d'.\n", argument);
    ud_usage();
    return true;
  }
  const auto value = static_cast<uint32_t>(argument);
  switch (action) {
    case UD_ACTION_ACTIVATE:
    case UD_ACTION_ENTER_EXIT:
    case UD_ACTION_LEVEL: ud_set_value(action, name, value); break;
    case UD_ACTION_DISPLAY: ud_display(); break;
    case UD_ACTION_GROUP: ud_group_add(name, argument_text); break;
    case UD_ACTION_HELP: ud_usage(); break;
    case UD_ACTION_PRINT: ud_set_print(value); break;
    case UD_ACTION_QUIT: return false;
    case UD_ACTION_REMOVEGROUP: ud_group_remove(name, argument_text); break;
    case UD_ACTION_STATE: ud_state(); break;
    default: break;   // XXXbuf_crash: no effect
  }
  return true;
}

// Interprets one line; false after "quit".
bool interpret(char* line) {
  if (line[0] == '\0' || line[0] == '\n' || line[0] == '#') return true;
  line[std::strcspn(line, "\n")] = '\0';
  line[std::strcspn(line, "#")] = '\0';
  char action[kMaxLine + 1] = "";
  char name[kMaxLine + 1] = "";
  char argument[kMaxLine + 1] = "";
  if (std::sscanf(line, "%130s %130s %130s", action, name, argument) < 1) return true;
  const int code = ud_find_action(action);
  if (code == UD_ACTION_UNKNOWN) {
    ud_message("ud_debug_input:  Unknown action '%s'.\n", action);
    ud_usage();
    return true;
  }
  return perform(code, name, argument);
}

// Strips trailing '/', '\\' and white space.
void strip_path(char* path) {
  for (size_t n = std::strlen(path); n > 0; --n) {
    const unsigned char c = static_cast<unsigned char>(path[n - 1]);
    if (c != '/' && c != '\\' && !std::isspace(c)) break;
    path[n - 1] = '\0';
  }
}

// The command file, or null. Opened without blocking so that a FIFO or device
// of that name cannot stall CS_Init; anything but a regular file is ignored with
// a message.
FILE* open_command_file(const char* name) {
  const int fd = ::open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    ud_message("%s is not a regular file; no trace commands read from it\n", name);
    return nullptr;
  }
  FILE* file = ::fdopen(fd, "r");
  if (!file) ::close(fd);
  return file;
}

}  // namespace

int ud_find_action(const char* word) noexcept {
  const size_t n = std::strlen(word);
  for (const ud_action_word& entry : ud_action_table())
    if (std::strncmp(entry.word, word, n) == 0) return entry.code;
  return UD_ACTION_UNKNOWN;
}

void ud_debug_input(FILE* in) noexcept {
  if (!in) return;
  file_ptr input(in);
  char line[kMaxLine + 1];
  while (std::fgets(line, sizeof line, input.get()))
    if (!interpret(line)) break;
}

void ud_load_config(const char* path) noexcept {
  if (!path) {
    ud_message("type 'h' for help, 'q' to quit the session.\n");
    ud_debug_input(stdin);
    return;
  }
  char dir[kMaxConfigPath + 1];
  std::snprintf(dir, sizeof dir, "%s", path);
  strip_path(dir);
  struct stat info{};
  if (stat(dir, &info) != 0 || !S_ISDIR(info.st_mode)) return;
  ud_debug_input(open_command_file(".udrc"));
}
