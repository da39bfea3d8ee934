#include "qelConnectionServer/named_file.h"

#include <fstream>
#include <iterator>

namespace qel {
namespace funneltunnel {

bool read_named_file(const std::string& value, std::string& contents) {
  // A text with a zero byte cannot be a path: opening its prefix would read a
  // different file than the one the text names.
  if (value.empty() || value.find('\0') != std::string::npos) return false;
  std::ifstream file(value, std::ios::in | std::ios::binary);
  if (!file.is_open()) return false;
  const std::string all{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  contents = all.substr(0, all.find('\0'));
  return true;
}

bool names_missing_file(const std::string& value) {
  if (value.empty() || value.find_first_of(std::string("\n=<\0", 4)) != std::string::npos) return false;
  if (value[0] == '#' || value[0] == '[') return false;
  const bool ends_conf = value.size() > 5 && value.compare(value.size() - 5, 5, ".conf") == 0;
  if (value.find('/') == std::string::npos && !ends_conf) return false;
  return !std::ifstream(value, std::ios::in | std::ios::binary).is_open();
}

}  // namespace funneltunnel
}  // namespace qel
