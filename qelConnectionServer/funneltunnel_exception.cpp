#include "qelConnectionServer/funneltunnel_exception.h"

#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

funneltunnel_exception::funneltunnel_exception(const char* message, uint32_t status)
    : std::runtime_error(message ? message : ""), code(status) {
  UD_ENTER("funneltunnel_exception::funneltunnel_exception", "%s %x %u", what(), code, code);
  UD_EXIT("%s", "");
}

}  // namespace funneltunnel
}  // namespace qel
