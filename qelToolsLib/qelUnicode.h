// qelUnicode.h - qelUnicode<CharT>, the string form of the converters: between UTF-8
// byte strings and wide (UTF-32, CharT = wchar_t) or UTF-16 (CharT = unsigned short,
// or char16_t) strings.
//
// Each operation takes the source as pointer and length in units, appends the result
// to `dst` and returns the converters' status (ConvertUTF.h); on return `length` holds
// the number of source units consumed. The lenient operations replace each offending
// sequence with U+FFFD and return the last status (or 0); the strict ones stop at the
// first and leave `dst` holding the text converted up to it. Never throws (out of
// memory: 0xC7210001). No state: any thread, any number of instances.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "qelToolsLib/ConvertUTF.h"

namespace qelToolsLib {

template <typename CharT>
class qelUnicode {
 public:
  using string_type = std::basic_string<CharT>;

  virtual ~qelUnicode() = default;
  virtual uint32_t toUtf8(const CharT* src, size_t& length, std::string& dst);
  virtual uint32_t fromUtf8(const char* src, size_t& length, string_type& dst);
  virtual uint32_t toUtf8Strict(const CharT* src, size_t& length, std::string& dst);
  virtual uint32_t fromUtf8Strict(const char* src, size_t& length, string_type& dst);

 private:
  static uint32_t toUtf8(const CharT* src, size_t& length, std::string& dst,
                         qelConvertMode mode);
  static uint32_t fromUtf8(const char* src, size_t& length, string_type& dst,
                           qelConvertMode mode);
};

extern template class qelUnicode<wchar_t>;
extern template class qelUnicode<unsigned short>;
extern template class qelUnicode<char16_t>;

}  // namespace qelToolsLib

using qelToolsLib::qelUnicode;
