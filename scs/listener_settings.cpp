#include "scs/listener_settings.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "scs/scs_error.h"
#include "scs/status.h"

namespace qel::scs {
namespace {

// section name ("" for the default endpoint) -> key -> value, in the order first seen.
using RawSettings = std::map<std::string, std::map<std::string, std::string>>;

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Removes a comment: a '#' that starts the line or follows a blank.
std::string strip_comment(const std::string& line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) {
      return line.substr(0, i);
    }
  }
  return line;
}

bool valid_name(const std::string& name) {
  if (name.empty()) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '_' || c == '-' || c == '.';
  });
}

class TextParser {
 public:
  TextParser(std::string origin, RawSettings& out) : origin_(std::move(origin)), out_(out) {
    out_[""];  // the default endpoint always exists
  }

  void parse(const std::string& text) {
    std::size_t start = 0;
    while (start <= text.size()) {
      const auto end = text.find('\n', start);
      ++line_number_;
      line(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }

 private:
  [[noreturn]] void fail(std::uint32_t code, const std::string& what) const {
    throw ScsError(code, origin_ + " line " + std::to_string(line_number_) + ": " + what);
  }

  void line(const std::string& raw) {
    const std::string text = trim(strip_comment(raw));
    if (text.empty()) return;
    if (text.front() == '[') return section(text);
    const auto equals = text.find('=');
    if (equals == std::string::npos) fail(status::SCS_SETTINGS_SYNTAX, "expected key = value");
    const std::string key = trim(text.substr(0, equals));
    const std::string value = trim(text.substr(equals + 1));
    if (!valid_name(key)) fail(status::SCS_SETTINGS_SYNTAX, "expected key = value");
    if (!seen_keys_.insert(section_ + "\n" + key).second) {
      fail(status::SCS_SETTINGS_DUPLICATE, "key '" + key + "' given twice in this section");
    }
    try {
      EndpointConfig probe;
      probe.name = section_;
      probe.apply(key, value);  // reports unknown keys and bad values with their line
    } catch (const ScsError& e) {
      fail(e.code(), e.what());
    }
    out_[section_][key] = value;
  }

  void section(const std::string& text) {
    const std::string prefix = "[endpoint ";
    if (text.back() != ']' || text.compare(0, prefix.size(), prefix) != 0) {
      fail(status::SCS_SETTINGS_SYNTAX, "expected [endpoint NAME]");
    }
    std::string name = trim(text.substr(prefix.size(), text.size() - prefix.size() - 1));
    if (!valid_name(name)) fail(status::SCS_SETTINGS_SYNTAX, "bad endpoint name in " + text);
    if (name == "default") name.clear();
    if (!seen_sections_.insert(name).second) {
      fail(status::SCS_SETTINGS_DUPLICATE, "section " + text + " given twice");
    }
    section_ = name;
    out_[section_];
  }

  const std::string origin_;  // "listener settings text N" or the file it came from
  RawSettings& out_;
  int line_number_ = 0;
  std::string section_;
  std::set<std::string> seen_keys_;
  std::set<std::string> seen_sections_;
};

EndpointConfig build(const std::string& name, const std::map<std::string, std::string>& keys) {
  EndpointConfig config;
  config.name = name;
  try {
    for (const auto& [key, value] : keys) config.apply(key, value);
    config.finish();
  } catch (const ScsError& e) {
    throw ScsError(e.code(), std::string("endpoint '") + config.label() + "': " + e.what());
  }
  return config;
}

std::string origin(int number, const char* source) {
  if (source != nullptr && *source != '\0') {
    return "listener settings file '" + std::string(source).substr(0, 512) + "'";
  }
  return "listener settings text " + std::to_string(number);
}

void check_distinct_addresses(const std::vector<EndpointConfig>& endpoints) {
  std::map<std::string, std::string> used;  // address text -> endpoint
  for (const EndpointConfig& e : endpoints) {
    if (e.port == 0) continue;  // each port-0 endpoint gets its own port
    const auto [it, fresh] = used.emplace(e.address_text(), e.label());
    if (!fresh) {
      throw ScsError(status::SCS_SETTINGS_DUPLICATE, "endpoints '" + it->second + "' and '" +
                                                         e.label() + "' both use " +
                                                         e.address_text());
    }
  }
}

}  // namespace

ListenerSettings::ListenerSettings(const char* first, const char* second, const char* source_1,
                                   const char* source_2) {
  RawSettings raw;
  TextParser(origin(1, source_1), raw).parse(first != nullptr ? first : "");
  TextParser(origin(2, source_2), raw).parse(second != nullptr ? second : "");
  endpoints_.push_back(build("", raw[""]));
  for (const auto& [name, keys] : raw) {
    if (!name.empty()) endpoints_.push_back(build(name, keys));
  }
  check_distinct_addresses(endpoints_);
}

std::vector<const EndpointConfig*> ListenerSettings::serving(const std::string& resource) const {
  std::vector<const EndpointConfig*> found;
  for (const EndpointConfig& e : endpoints_) {
    if (std::find(e.resources.begin(), e.resources.end(), resource) != e.resources.end()) {
      found.push_back(&e);
    }
  }
  if (found.empty()) found.push_back(&endpoints_.front());
  return found;
}

const EndpointConfig* ListenerSettings::find(const std::string& name) const {
  for (const EndpointConfig& e : endpoints_) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

}  // namespace qel::scs
