#include "qelToolsLib/qelStatusTexts.h"

namespace qelToolsLib {

namespace {

struct StatusText {
  uint32_t status;
  const char* text;
};

constexpr StatusText kTexts[] = {
#include "qelStatusTexts.inc"
};

}  // namespace

const char* qelBuiltinStatusText(uint32_t status) noexcept {
  for (const StatusText& entry : kTexts)
    if (entry.status == status) return entry.text;
  return nullptr;
}

}  // namespace qelToolsLib
