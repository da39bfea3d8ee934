// qelErrorMsg.h - the logic of the exported CS_GetErrorMsg: the text of a status value
// into a caller's buffer. Any thread; never throws.
#pragma once

#include <cstdint>

namespace qelToolsLib {

// Null buffer or size below 2: 0xC7210003, buffer untouched. Otherwise zero-fills all
// `size` bytes and copies the status's text (default width) with its NUL when it is
// shorter than `size`; a longer text leaves an empty string. 0 in both cases;
// 0xC7210005 when the text could not be produced.
uint32_t qelGetErrorMsg(uint32_t code, char* buffer, uint32_t size) noexcept;

}  // namespace qelToolsLib

using qelToolsLib::qelGetErrorMsg;
