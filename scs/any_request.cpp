#include "scs/any_request.h"

#include <strings.h>

#include <cstring>

namespace qel::scs {
namespace {

constexpr const char* kMethods[] = {"GET", "HEAD", "POST", "PUT", "PATCH", "DELETE", "OPTIONS"};

// path == resource, or path lies below it at a '/' boundary.
bool below(const std::string& path, const std::string& resource) {
  if (path.compare(0, resource.size(), resource) != 0) return false;
  return path.size() == resource.size() || resource.back() == '/' || path[resource.size()] == '/';
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percent_decoded(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 &&
        hex_value(text[i + 2]) >= 0) {
      out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

const Route* match_route(const std::map<std::string, Route>& routes, const std::string& path) {
  const auto exact = routes.find(path);
  if (exact != routes.end()) return &exact->second;
  const Route* best = nullptr;
  std::size_t best_length = 0;
  for (const auto& [resource, route] : routes) {
    if (!route.any_request || resource.size() <= best_length || !below(path, resource)) continue;
    best = &route;
    best_length = resource.size();
  }
  return best;
}

bool has_any_request(const std::map<std::string, Route>& routes) {
  for (const auto& entry : routes) {
    if (entry.second.any_request) return true;
  }
  return false;
}

unsigned any_request_verdict(const std::string& method, const RequestHeaders& headers) {
  if (method == "CONNECT" || count_header(headers, "Upgrade") > 0) return 501;
  for (const char* allowed : kMethods) {
    if (method == allowed) return 0;
  }
  return 405;
}

bool escapes_resource(const std::string& raw_target) {
  const std::string path = percent_decoded(raw_target.substr(0, raw_target.find('?')));
  if (path.find('\0') != std::string::npos) return true;
  std::size_t start = 0;
  while (start <= path.size()) {
    const auto slash = path.find('/', start);
    const std::string segment =
        path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (segment == "." || segment == "..") return true;
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return false;
}

}  // namespace qel::scs
