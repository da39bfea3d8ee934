// Helpers of the end-to-end tests.
#include "e2e_support.h"

#include <algorithm>
#include <cstdlib>

namespace e2e {

std::string build_dir() {
  const char* dir = std::getenv("QEL_BUILD_DIR");
  return dir != nullptr && *dir != '\0' ? dir : QEL_E2E_BUILD_DIR;
}

std::string program_path(const std::string& name) { return build_dir() + "/bin/" + name; }

std::string library_dir() { return build_dir() + "/lib"; }

int settle_ms() {
  const char* slow = std::getenv("QEL_E2E_SLOW");
  const int factor = slow != nullptr ? std::max(1, std::atoi(slow)) : QEL_E2E_SLOW_FACTOR;
  return 400 * factor;
}

}  // namespace e2e
