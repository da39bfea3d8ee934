#include "qelToolsLib/qelUnicode.h"

#include "qelToolsLib/internal/qelappendconvert.h"

namespace qelToolsLib {

namespace {

// Overloads that pick the converter by unit type.
uint32_t unitsToUtf8(const wchar_t* s, size_t& n, char* d, size_t& m, qelConvertMode mode) {
  return ConvertUTF32toUTF8(s, n, d, m, mode);
}
uint32_t unitsToUtf8(const unsigned short* s, size_t& n, char* d, size_t& m,
                     qelConvertMode mode) {
  return ConvertUTF16toUTF8(s, n, d, m, mode);
}
uint32_t unitsToUtf8(const char16_t* s, size_t& n, char* d, size_t& m, qelConvertMode mode) {
  return ConvertUTF16toUTF8(s, n, d, m, mode);
}
uint32_t utf8ToUnits(const char* s, size_t& n, wchar_t* d, size_t& m, qelConvertMode mode) {
  return ConvertUTF8toUTF32(s, n, d, m, mode);
}
uint32_t utf8ToUnits(const char* s, size_t& n, unsigned short* d, size_t& m,
                     qelConvertMode mode) {
  return ConvertUTF8toUTF16(s, n, d, m, mode);
}
uint32_t utf8ToUnits(const char* s, size_t& n, char16_t* d, size_t& m, qelConvertMode mode) {
  return ConvertUTF8toUTF16(s, n, d, m, mode);
}

}  // namespace

template <typename CharT>
uint32_t qelUnicode<CharT>::toUtf8(const CharT* src, size_t& length, std::string& dst,
                                   qelConvertMode mode) {
  const size_t perUnit = sizeof(CharT) == 4 ? kUtf8PerUtf32 : kUtf8PerUtf16;
  return internal::appendConverted(src, length, dst, perUnit, mode,
                                   [](const CharT* s, size_t& n, char* d, size_t& m,
                                      qelConvertMode md) { return unitsToUtf8(s, n, d, m, md); });
}

template <typename CharT>
uint32_t qelUnicode<CharT>::fromUtf8(const char* src, size_t& length, string_type& dst,
                                     qelConvertMode mode) {
  // One unit per byte is enough: no UTF-8 sequence yields more units than it has bytes.
  return internal::appendConverted(src, length, dst, 1, mode,
                                   [](const char* s, size_t& n, CharT* d, size_t& m,
                                      qelConvertMode md) { return utf8ToUnits(s, n, d, m, md); });
}

template <typename CharT>
uint32_t qelUnicode<CharT>::toUtf8(const CharT* src, size_t& length, std::string& dst) {
  return toUtf8(src, length, dst, qelConvertMode::Lenient);
}

template <typename CharT>
uint32_t qelUnicode<CharT>::fromUtf8(const char* src, size_t& length, string_type& dst) {
  return fromUtf8(src, length, dst, qelConvertMode::Lenient);
}

template <typename CharT>
uint32_t qelUnicode<CharT>::toUtf8Strict(const CharT* src, size_t& length, std::string& dst) {
  return toUtf8(src, length, dst, qelConvertMode::Strict);
}

template <typename CharT>
uint32_t qelUnicode<CharT>::fromUtf8Strict(const char* src, size_t& length, string_type& dst) {
  return fromUtf8(src, length, dst, qelConvertMode::Strict);
}

template class qelUnicode<wchar_t>;
template class qelUnicode<unsigned short>;
template class qelUnicode<char16_t>;

}  // namespace qelToolsLib
