// qelStrUtil.h - small string helpers of the toolkit: the bounded copy used wherever
// text goes into a caller's buffer, and the plain wide-to-narrow conversion (through
// the C library's wcstombs, in the current LC_CTYPE locale) for texts that need not
// be UTF-8. Stateless; any thread (wcstombs depends on the process locale).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qelToolsLib {

// Copies at most `count` characters of `source` (stopping at its NUL) into
// `destination` of `size` bytes and terminates it. When that text plus its NUL does
// not fit, nothing is copied, destination becomes an empty string and the result is
// 0xC7210006. Null pointers or size 0: 0xC7210003, nothing written. 0 on success.
uint32_t qelStrCopy(char* destination, size_t size, const char* source, size_t count) noexcept;

// Converts `source` with wcstombs and replaces (append false) or extends (append
// true) `destination`. 0, or the status of the conversion error (the wide text holds
// a character the locale cannot represent); destination is unchanged on error.
uint32_t qelWideToNarrow(const std::wstring& source, std::string& destination, bool append);

}  // namespace qelToolsLib

using qelToolsLib::qelStrCopy;
using qelToolsLib::qelWideToNarrow;
