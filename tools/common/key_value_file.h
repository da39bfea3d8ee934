// The programs' configuration files: one "name = value" line per option, with the long
// option's name without "--"; blank lines and lines starting with '#' are skipped; in a
// value "\n" stands for a line break and "\\" for a backslash, so a multi-line text fits
// on one line. Plain functions, any thread.
#ifndef QEL_TOOLS_KEY_VALUE_FILE_H
#define QEL_TOOLS_KEY_VALUE_FILE_H

#include <string>
#include <vector>

namespace qel {
namespace tools {

struct key_value {
  std::string name;
  std::string value;
  int line = 0;  // 1-based line number in the file
};

// Every entry of the file, in file order. False with `error` ("cannot read config file
// 'F': cause" or "F:LINE: expected 'name = value'") when the file cannot be read or a
// line is not an entry.
bool read_key_value_file(const std::string& path, std::vector<key_value>& entries, std::string& error);

// "1", "true", "yes", "on" / "0", "false", "no", "off"; false for anything else.
bool parse_flag(const std::string& value, bool& flag);

}  // namespace tools
}  // namespace qel

#endif  // QEL_TOOLS_KEY_VALUE_FILE_H
