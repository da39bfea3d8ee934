// Reading "name = value" configuration files.
#include "key_value_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace qel {
namespace tools {

namespace {

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::string unescape(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size() && (value[i + 1] == 'n' || value[i + 1] == '\\')) {
      out += value[i + 1] == 'n' ? '\n' : '\\';
      ++i;
    } else {
      out += value[i];
    }
  }
  return out;
}

}  // namespace

bool read_key_value_file(const std::string& path, std::vector<key_value>& entries, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read config file '" + path + "': " + std::strerror(errno);
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string text = trim(line);
    if (text.empty() || text[0] == '#') continue;
    const auto equals = text.find('=');
    const std::string name = equals == std::string::npos ? "" : trim(text.substr(0, equals));
    if (name.empty()) {
      error = path + ":" + std::to_string(number) + ": expected 'name = value'";
      return false;
    }
    entries.push_back({name, unescape(trim(text.substr(equals + 1))), number});
  }
  return true;
}

bool parse_flag(const std::string& value, bool& flag) {
  if (value == "1" || value == "true" || value == "yes" || value == "on") return flag = true, true;
  if (value == "0" || value == "false" || value == "no" || value == "off") return flag = false, true;
  return false;
}

}  // namespace tools
}  // namespace qel
