#include "qelConnectionServer/admission.h"

#include <algorithm>
#include <cstring>

#include "qelConnectionServer/boundary.h"
#include "qelConnectionServer/token_table.h"
#include "qelSessionConfigSvcs.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

uint32_t admission_callback(uint32_t listener_handle, uint32_t token, const SCS_REQUEST*,
                            char* text, uint32_t text_size) noexcept {
  UD_ENTER("admission_callback", "listener_handle %x registration_token %x", listener_handle, token);
  std::string why;
  const uint32_t verdict = guarded_call([&] { return tokens().admit(token, why); },
                                        [](uint32_t, const char*, bool) {});
  // A revoked token or a failure: let the request go on; process() answers it.
  const uint32_t status = verdict >= 400 && verdict <= 599 ? verdict : 0;
  if (status != 0 && text != nullptr && text_size > 0) {
    const std::size_t length = std::min<std::size_t>(why.size(), text_size - 1);
    std::memcpy(text, why.data(), length);
    text[length] = '\0';
  }
  UD_EXIT("%u", status);
  return status;
}

}  // namespace funneltunnel
}  // namespace qel
