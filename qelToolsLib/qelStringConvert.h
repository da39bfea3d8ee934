// qelStringConvert.h - whole-string conversions between UTF-8 (std::string), wide
// text (std::wstring, UTF-32) and UTF-16 (std::u16string), and the stream helper that
// makes a narrow stream write wide text as UTF-8.
//
// Each function replaces `dst` and returns 0 or a status value (ConvertUTF.h): in
// lenient mode (the default) every offending sequence becomes U+FFFD and the last
// status is returned; in strict mode the first offending sequence stops the
// conversion, its status is returned and `dst` holds the text converted up to it.
// U+FFFE and U+FFFF count as errors (0xC7210014). Never throws (out of memory:
// 0xC7210001). Stateless: any thread.
#pragma once

#include <cstdint>
#include <ios>
#include <string>

#include "qelToolsLib/ConvertUTF.h"
#include "qelToolsLib/qelCodecvt.h"

namespace qelToolsLib {

uint32_t Utf8ToWide(const std::string& src, std::wstring& dst,
                    qelConvertMode mode = qelConvertMode::Lenient);
uint32_t WideToUtf8(const std::wstring& src, std::string& dst,
                    qelConvertMode mode = qelConvertMode::Lenient);
uint32_t Utf8ToUtf16(const std::string& src, std::u16string& dst,
                     qelConvertMode mode = qelConvertMode::Lenient);
uint32_t Utf16ToUtf8(const std::u16string& src, std::string& dst,
                     qelConvertMode mode = qelConvertMode::Lenient);
uint32_t WideToUtf16(const std::wstring& src, std::u16string& dst,
                     qelConvertMode mode = qelConvertMode::Lenient);
uint32_t Utf16ToWide(const std::u16string& src, std::wstring& dst,
                     qelConvertMode mode = qelConvertMode::Lenient);

// Declared in qelCodecvt.h: void ImbueUtf8(std::ios_base& stream);

}  // namespace qelToolsLib
