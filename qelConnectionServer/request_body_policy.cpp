#include "qelConnectionServer/request_body_policy.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {
namespace {
std::atomic<bool> bodies_name_files{false};
}

bool request_bodies_may_name_files() noexcept { return bodies_name_files.load(); }

void set_request_bodies_may_name_files(bool enabled) noexcept { bodies_name_files = enabled; }

void load_request_body_policy() noexcept {
  UD_ENTER("load_request_body_policy", "%s", request_body_files_variable);
  const char* value = std::getenv(request_body_files_variable);
  const bool enabled = value != nullptr && std::strcmp(value, "1") == 0;
  set_request_bodies_may_name_files(enabled);
  UD_EXIT("request bodies may name files: %d", enabled ? 1 : 0);
}

}  // namespace funneltunnel
}  // namespace qel
