// internal/qelappendconvert.h - runs one buffer converter (ConvertUTF.h) so that its
// output is appended to a string: grows the string by the most units the source can
// produce, converts, and shrinks it to what was written. Not for use outside
// qelToolsLib.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include "qelStatusCodes.h"
#include "qelToolsLib/ConvertUTF.h"

namespace qelToolsLib {
namespace internal {

// `perUnit`: the most destination units one source unit yields, so the converter
// never finds the destination full. Out of memory: 0xC7210001, nothing appended,
// nothing consumed. `length` is in/out as for the converters.
template <typename In, typename Out, typename Converter>
uint32_t appendConverted(const In* src, size_t& length, std::basic_string<Out>& dst,
                         size_t perUnit, qelConvertMode mode, Converter converter) noexcept {
  const size_t base = dst.size();
  size_t written = length * perUnit;
  try {
    dst.resize(base + written);
  } catch (const std::exception&) {
    length = 0;
    return qel::status::INSUFFICIENT_RESOURCES;
  }
  const uint32_t status = converter(src, length, &dst[0] + base, written, mode);
  dst.resize(base + written);  // shrinking never allocates
  return status;
}

}  // namespace internal
}  // namespace qelToolsLib
