#include "qelToolsLib/qelStrUtil.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "qelStatusCodes.h"
#include "qelToolsLib/qelError.h"

namespace qelToolsLib {

uint32_t qelStrCopy(char* destination, size_t size, const char* source, size_t count) noexcept {
  if (destination == nullptr || source == nullptr || size == 0)
    return qel::status::INVALID_ARGUMENT;
  const size_t length = strnlen(source, count);
  if (length >= size) {
    destination[0] = '\0';
    return qel::status::BUFFER_TOO_SMALL;
  }
  std::memcpy(destination, source, length);
  destination[length] = '\0';
  return 0;
}

uint32_t qelWideToNarrow(const std::wstring& source, std::string& destination, bool append) {
  // Twice the wide length plus one holds most texts. wcstombs stops before a
  // character that does not fit whole, so it may return less than the buffer size
  // and still have cut the text; when fewer than MB_CUR_MAX bytes are left over, the
  // exact size the C library reports is used instead.
  std::vector<char> buffer(source.size() * 2 + 1);
  size_t written = std::wcstombs(buffer.data(), source.c_str(), buffer.size());
  if (written == static_cast<size_t>(-1)) return QELError::fromErrno(static_cast<uint32_t>(errno));
  if (buffer.size() - written <= MB_CUR_MAX) {
    const size_t needed = std::wcstombs(nullptr, source.c_str(), 0);
    if (needed == static_cast<size_t>(-1))
      return QELError::fromErrno(static_cast<uint32_t>(errno));
    buffer.resize(needed + 1);
    written = std::wcstombs(buffer.data(), source.c_str(), buffer.size());
  }
  if (!append) destination.clear();
  destination.append(buffer.data(), written);
  return 0;
}

}  // namespace qelToolsLib
