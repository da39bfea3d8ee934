#include "qelToolsLib/qelStringConvert.h"

#include "qelToolsLib/internal/qelappendconvert.h"

namespace qelToolsLib {

namespace {

// Clears dst and appends the conversion of the whole of src.
template <typename In, typename Out, typename Converter>
uint32_t replaceWith(const std::basic_string<In>& src, std::basic_string<Out>& dst,
                     size_t perUnit, qelConvertMode mode, Converter converter) {
  dst.clear();
  size_t length = src.size();
  return internal::appendConverted(src.data(), length, dst, perUnit, mode, converter);
}

}  // namespace

uint32_t Utf8ToWide(const std::string& src, std::wstring& dst, qelConvertMode mode) {
  return replaceWith(src, dst, 1, mode,
                     [](const char* s, size_t& n, wchar_t* d, size_t& m, qelConvertMode md) {
                       return ConvertUTF8toUTF32(s, n, d, m, md);
                     });
}

uint32_t WideToUtf8(const std::wstring& src, std::string& dst, qelConvertMode mode) {
  return replaceWith(src, dst, kUtf8PerUtf32, mode,
                     [](const wchar_t* s, size_t& n, char* d, size_t& m, qelConvertMode md) {
                       return ConvertUTF32toUTF8(s, n, d, m, md);
                     });
}

uint32_t Utf8ToUtf16(const std::string& src, std::u16string& dst, qelConvertMode mode) {
  return replaceWith(src, dst, 1, mode,
                     [](const char* s, size_t& n, char16_t* d, size_t& m, qelConvertMode md) {
                       return ConvertUTF8toUTF16(s, n, d, m, md);
                     });
}

uint32_t Utf16ToUtf8(const std::u16string& src, std::string& dst, qelConvertMode mode) {
  return replaceWith(src, dst, kUtf8PerUtf16, mode,
                     [](const char16_t* s, size_t& n, char* d, size_t& m, qelConvertMode md) {
                       return ConvertUTF16toUTF8(s, n, d, m, md);
                     });
}

uint32_t WideToUtf16(const std::wstring& src, std::u16string& dst, qelConvertMode mode) {
  return replaceWith(src, dst, kUtf16PerUtf32, mode,
                     [](const wchar_t* s, size_t& n, char16_t* d, size_t& m, qelConvertMode md) {
                       return ConvertUTF32toUTF16(s, n, d, m, md);
                     });
}

uint32_t Utf16ToWide(const std::u16string& src, std::wstring& dst, qelConvertMode mode) {
  return replaceWith(src, dst, 1, mode,
                     [](const char16_t* s, size_t& n, wchar_t* d, size_t& m, qelConvertMode md) {
                       return ConvertUTF16toUTF32(s, n, d, m, md);
                     });
}

}  // namespace qelToolsLib
