// The libraries' log lines, written through the host's log and partly kept.
#include "library_log.h"

#include <algorithm>
#include <mutex>

namespace qelcs_host {

namespace {

using qel::tools::log_level;

std::mutex g_mutex;
std::vector<served_endpoint> g_served;
std::string g_last_error;

log_level host_level(uint32_t level) {
  switch (level) {
    case MSL_LOG_ERROR: return log_level::error;
    case MSL_LOG_WARNING: return log_level::warning;
    case MSL_LOG_INFO: return log_level::info;
    default: return log_level::debug;
  }
}

void keep(uint32_t level, const std::string& text) {
  served_endpoint endpoint;
  if (level == MSL_LOG_INFO && parse_serving_line(text, endpoint)) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto same = std::find_if(g_served.begin(), g_served.end(),
                             [&](const served_endpoint& e) { return e.url == endpoint.url; });
    if (same == g_served.end()) {
      g_served.push_back(endpoint);
    } else {
      for (const std::string& resource : endpoint.resources)
        if (std::find(same->resources.begin(), same->resources.end(), resource) == same->resources.end())
          same->resources.push_back(resource);
    }
  }
  // An error counts as the cause only while nothing but entry lines follows it: the
  // loader logs a failed first attempt before a successful second one.
  if (level == MSL_LOG_ENTRY) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  g_last_error = level == MSL_LOG_ERROR ? text : std::string();
}

void on_line(uintptr_t, uint32_t level, const char* message, const char* function) {
  const std::string text = message != nullptr ? message : "";
  keep(level, text);
  const std::string name = function != nullptr ? function : "-";
  const bool entry = level == MSL_LOG_ENTRY;
  if (qel::tools::log_output::format() == qel::tools::log_format::json) {
    qel::tools::log_fields fields = {{"function", name}};
    if (entry) fields.emplace_back("entry", "true");
    qel::tools::log_output::write(host_level(level), text, fields);
    return;
  }
  qel::tools::log_output::write(host_level(level), (entry ? "ENTRY " : "") + name + ": " + text);
}

constexpr uint32_t kept_levels = MSL_LOG_ERROR | MSL_LOG_WARNING | MSL_LOG_INFO;
mslLogSink g_sink{0, kept_levels, on_line};
mslLogSink g_debug_sink{0, kept_levels | MSL_LOG_ENTRY, on_line};

std::vector<std::string> split_list(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(", ", start);
    if (end == std::string::npos) end = text.size();
    items.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return items;
}

}  // namespace

const mslLogSink* library_log::sink(log_level level) {
  return level == log_level::debug ? &g_debug_sink : &g_sink;
}

std::vector<served_endpoint> library_log::served() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_served;
}

std::string library_log::last_error() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_last_error;
}

bool parse_serving_line(const std::string& message, served_endpoint& endpoint) {
  const std::string name_mark = " endpoint '", serves_mark = "' serves ", at_mark = " at ";
  const size_t name = message.find(name_mark);
  if (message.rfind("listener ", 0) != 0 || name == std::string::npos) return false;
  const size_t serves = message.find(serves_mark, name);
  const size_t at = message.rfind(at_mark);
  if (serves == std::string::npos || at == std::string::npos || at < serves) return false;
  endpoint.name = message.substr(name + name_mark.size(), serves - name - name_mark.size());
  endpoint.resources = split_list(message.substr(serves + serves_mark.size(),
                                                 at - serves - serves_mark.size()));
  endpoint.url = message.substr(at + at_mark.size());
  return endpoint.url.rfind("http", 0) == 0;
}

}  // namespace qelcs_host
