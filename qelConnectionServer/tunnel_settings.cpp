#include "qelConnectionServer/tunnel_settings.h"

#include <set>
#include <sstream>

namespace qel {
namespace funneltunnel {
namespace {

struct number_rule {
  const char* name;
  uint32_t tunnel_settings::*field;
  uint32_t low, high;
};

constexpr number_rule numbers[] = {
    {"caller_timeout", &tunnel_settings::caller_timeout_s, 0, 86400},
    {"max_waiting_callers", &tunnel_settings::max_waiting_callers, 0, 1000000},
    {"poll_timeout", &tunnel_settings::poll_timeout_s, 1, 3600},
    {"drain_timeout", &tunnel_settings::drain_timeout_s, 0, 3600},
    {"client_grace", &tunnel_settings::client_grace_s, 1, 3600},
};

// A key with two words: `on` selects the second.
struct choice_rule {
  const char* name;
  bool tunnel_settings::*field;
  const char* off;
  const char* on;
};

constexpr choice_rule choices[] = {
    {"flow_ids", &tunnel_settings::random_flow_ids, "sequential", "random"},
    {"forward_any_request", &tunnel_settings::forward_any_request, "off", "on"},
    {"answer_later", &tunnel_settings::answer_later, "off", "on"},
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

uint32_t number(const std::string& where, const number_rule& rule, const std::string& value) {
  if (value.empty() || value.size() > 9 || value.find_first_not_of("0123456789") != std::string::npos)
    refuse(where, rule.name, value, "not a whole number");
  const unsigned long n = std::stoul(value);
  if (n < rule.low || n > rule.high) {
    refuse(where, rule.name, value,
           "out of range " + std::to_string(rule.low) + " to " + std::to_string(rule.high));
  }
  return static_cast<uint32_t>(n);
}

// Applies `key = value` when the key is known; false when it is not.
bool apply(tunnel_settings& settings, const std::string& where, const std::string& key,
           const std::string& value) {
  for (const auto& rule : numbers) {
    if (key != rule.name) continue;
    settings.*(rule.field) = number(where, rule, value);
    return true;
  }
  for (const auto& rule : choices) {
    if (key != rule.name) continue;
    if (value != rule.off && value != rule.on)
      refuse(where, key, value, std::string("expected ") + rule.off + " or " + rule.on);
    settings.*(rule.field) = value == rule.on;
    return true;
  }
  return false;
}

}  // namespace

tunnel_settings read_tunnel_text(const std::string& text, const std::string& origin,
                                 std::vector<std::string>& ignored) {
  std::set<std::string> named;
  return read_tunnel_text(text, origin, ignored, tunnel_settings(), named);
}

tunnel_settings read_tunnel_text(const std::string& text, const std::string& origin,
                                 std::vector<std::string>& ignored, const tunnel_settings& base,
                                 std::set<std::string>& seen) {
  tunnel_settings settings = base;
  seen.clear();
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
    if (seen.count(key) != 0) refuse(origin + " " + where, key, value, "given twice");
    if (!apply(settings, origin + " " + where, key, value)) {
      ignored.push_back(where + "unknown key " + key.substr(0, 64));
      continue;
    }
    seen.insert(key);
  }
  return settings;
}

std::string describe_tunnel_settings(const tunnel_settings& settings) {
  std::string text;
  for (const auto& rule : numbers)
    text += std::string(rule.name) + " = " + std::to_string(settings.*(rule.field)) + "\n";
  for (const auto& rule : choices)
    text += std::string(rule.name) + " = " + (settings.*(rule.field) ? rule.on : rule.off) + "\n";
  return text;
}

}  // namespace funneltunnel
}  // namespace qel
