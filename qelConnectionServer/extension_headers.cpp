#include "qelConnectionServer/extension_headers.h"

#include <sys/random.h>

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace qel {
namespace funneltunnel {

bool valid_client_id(const std::string& id) {
  if (id.empty() || id.size() > 64) return false;
  for (unsigned char c : id) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

const std::string& host_instance() {
  static const std::string marker = [] {
    uint64_t value = 0;
    if (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {
      value = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) *
              0x9E3779B97F4A7C15ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return std::string(text);
  }();
  return marker;
}

}  // namespace funneltunnel
}  // namespace qel
