#include "qelConnectionServer/tunnel_settings.h"

#include <set>
#include <sstream>


namespace qel {
namespace funneltunnel {
namespace {

struct key_rule {
  const char* name;
  uint32_t tunnel_settings::*field;
  uint32_t low, high;
};

constexpr key_rule rules[] = {
    {"caller_timeout", &tunnel_settings::caller_timeout_s, 0, 86400},
    {"max_waiting_callers", &tunnel_settings::max_waiting_callers, 0, 1000000},
    {"poll_timeout", &tunnel_settings::poll_timeout_s, 1, 3600},
};

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The line without its comment: '#' at the start or after a blank.
std::string without_comment(const std::string& line) {
  for (std::size_t at = 0; at < line.size(); ++at) {
    if (line[at] == '#' && (at == 0 || line[at - 1] == ' ' || line[at - 1] == '\t'))
      return line.substr(0, at);
  }
  return line;
}

[[noreturn]] void refuse(const std::string& where, const std::string& key,
                         const std::string& value, const std::string& why) {
  throw tunnel_setting_error(where + key + " = " + value.substr(0, 64) + ": " + why);
}

uint32_t number(const std::string& where, const key_rule& rule, const std::string& value) {
  if (value.empty() || value.size() > 9 || value.find_first_not_of("0123456789") != std::string::npos)
    refuse(where, rule.name, value, "not a whole number");
  const unsigned long n = std::stoul(value);
  if (n < rule.low || n > rule.high) {
    refuse(where, rule.name, value,
           "out of range " + std::to_string(rule.low) + " to " + std::to_string(rule.high));
  }
  return static_cast<uint32_t>(n);
}

}  // namespace

tunnel_settings read_tunnel_text(const std::string& text, const std::string& origin,
                                 std::vector<std::string>& ignored) {
  tunnel_settings settings;
  std::set<std::string> seen;
  std::istringstream lines(text);
  std::string raw;
  for (int line_no = 1; std::getline(lines, raw); ++line_no) {
    const std::string line = trimmed(without_comment(raw));
    if (line.empty()) continue;
    const std::string where = "line " + std::to_string(line_no) + ": ";
    const auto equals = line.find('=');
    if (equals == std::string::npos) {
      ignored.push_back(where + "not a key = value line: " + line.substr(0, 64));
      continue;
    }
    const std::string key = trimmed(line.substr(0, equals));
    const std::string value = trimmed(line.substr(equals + 1));
    const key_rule* rule = nullptr;
    for (const auto& candidate : rules) {
      if (key == candidate.name) rule = &candidate;
    }
    if (rule == nullptr) {
      ignored.push_back(where + "unknown key " + key.substr(0, 64));
      continue;
    }
    if (!seen.insert(key).second) refuse(origin + " " + where, key, value, "given twice");
    settings.*(rule->field) = number(origin + " " + where, *rule, value);
  }
  return settings;
}

}  // namespace funneltunnel
}  // namespace qel
