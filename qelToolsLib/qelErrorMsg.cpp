#include "qelToolsLib/qelErrorMsg.h"

#include <cstring>

#include "qelStatusCodes.h"
#include "qelToolsLib/qelError.h"
#include "qelToolsLib/qelStrUtil.h"

namespace qelToolsLib {

uint32_t qelGetErrorMsg(uint32_t code, char* buffer, uint32_t size) noexcept {
  if (buffer == nullptr || size < 2) return qel::status::INVALID_ARGUMENT;
  std::memset(buffer, 0, size);
  QELError error(code);  // releases its text on every path
  const char* text = error.getText(qelDefaultTextWidth);
  if (text == nullptr) return qel::status::NO_MESSAGE_TEXT;
  // A text that does not fit leaves the buffer empty; that is still success here.
  qelStrCopy(buffer, size, text, std::strlen(text));
  return 0;
}

}  // namespace qelToolsLib
