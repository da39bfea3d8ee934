// The converters on known examples: every status, consumed counts, strict and lenient
// modes, the long UTF-8 forms, a full destination, and the string classes.
#include <gtest/gtest.h>

#include <string>

#include "qelToolsLib/ConvertUTF.h"
#include "qelToolsLib/qelStringConvert.h"
#include "qelToolsLib/qelUnicode.h"

namespace {

using qelToolsLib::qelConvertMode;
using namespace qelToolsLib;

constexpr auto kStrict = qelConvertMode::Strict;
constexpr auto kLenient = qelConvertMode::Lenient;

std::string bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s += static_cast<char>(b);
  return s;
}

struct Utf8Case {
  std::string input;
  uint32_t status;
  size_t strictConsumed;
  std::wstring lenient;
};

TEST(Convert, MalformedUtf8InBothModes) {
  const Utf8Case cases[] = {
      {bytes({'a', 0xED, 0xA0, 0x80, 'b'}), 0xC721001A, 1, L"a\uFFFDb"},  // surrogate
      {bytes({0xC0, 0x80, 'x'}), 0xC7210019, 0, L"\uFFFDx"},               // overlong
      {bytes({0xE0, 0x80, 0x80}), 0xC7210019, 0, L"\uFFFD"},               // overlong
      {bytes({0xF4, 0x90, 0x80, 0x80}), 0xC7210019, 0, L"\uFFFD"},         // above U+10FFFF
      {bytes({0xF8, 0x88, 0x80, 0x80, 0x80}), 0xC7210019, 0, L"\uFFFD"},   // 5-byte form
      {bytes({'a', 0x80, 'b'}), 0xC7210019, 1, L"a\uFFFDb"},               // stray byte
      {bytes({0xE2, 'a', 'b'}), 0xC7210019, 0, L"\uFFFDab"},              // cut short
      {bytes({'a', 0xE2, 0x82}), 0xC7210032, 1, L"a\uFFFD"},              // truncated
      {bytes({0xEF, 0xBF, 0xBE, 'z'}), 0xC7210014, 0, L"\uFFFDz"},        // U+FFFE
      {bytes({0xEF, 0xBF, 0xBF}), 0xC7210014, 0, L"\uFFFD"},              // U+FFFF
  };
  for (const Utf8Case& c : cases) {
    std::wstring w;
    size_t length = c.input.size();
    qelUnicode<wchar_t> unicode;
    EXPECT_EQ(unicode.fromUtf8Strict(c.input.data(), length, w), c.status) << c.input;
    EXPECT_EQ(length, c.strictConsumed) << c.input;
    EXPECT_EQ(w, c.lenient.substr(0, c.strictConsumed)) << "text before the offending unit";
    length = c.input.size();
    w = L">";
    EXPECT_EQ(unicode.fromUtf8(c.input.data(), length, w), c.status) << c.input;
    EXPECT_EQ(length, c.input.size());
    EXPECT_EQ(w, L">" + c.lenient) << "lenient output appends";
  }
}

TEST(Convert, LenientReturnsTheLastStatus) {
  std::wstring w;
  EXPECT_EQ(Utf8ToWide(bytes({0xC0, 0x80, 'a', 0xED, 0xA0, 0x80}), w), 0xC721001Au);
  EXPECT_EQ(w, L"\uFFFDa\uFFFD");
  EXPECT_EQ(Utf8ToWide("", w), 0u);
  EXPECT_TRUE(w.empty()) << "the destination is replaced";
  std::u16string u;
  EXPECT_EQ(Utf8ToUtf16(bytes({0xED, 0xA0, 0x80}), u, kStrict), 0xC721001Au);
  EXPECT_TRUE(u.empty());
}

TEST(Convert, Utf16Surrogates) {
  std::string s;
  EXPECT_EQ(Utf16ToUtf8(u"a\xDC00" u"b", s, kStrict), 0xC7210017u);
  EXPECT_EQ(s, "a");
  EXPECT_EQ(Utf16ToUtf8(u"a\xDC00" u"b", s, kLenient), 0xC7210017u);
  EXPECT_EQ(s, "a" + bytes({0xEF, 0xBF, 0xBD}) + "b");
  EXPECT_EQ(Utf16ToUtf8(u"\xD83D" u"b", s, kLenient), 0xC7210017u) << "high without low";
  EXPECT_EQ(s, bytes({0xEF, 0xBF, 0xBD}) + "b");
  EXPECT_EQ(Utf16ToUtf8(u"ab\xD83D", s, kStrict), 0xC7210032u);
  EXPECT_EQ(s, "ab");
  EXPECT_EQ(Utf16ToUtf8(u"\xFFFE", s, kStrict), 0xC7210014u);
  std::wstring w;
  EXPECT_EQ(Utf16ToWide(u"x\xDBFF\xDFFF", w, kStrict), 0u);
  EXPECT_EQ(w, L"x\U0010FFFF");
  EXPECT_EQ(Utf16ToWide(u"\xDE00", w, kStrict), 0xC7210017u);
}

TEST(Convert, Utf32ValuesAndTheLongUtf8Forms) {
  std::string s;
  EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0x110000)), s, kStrict), 0u);
  EXPECT_EQ(s, bytes({0xF4, 0x90, 0x80, 0x80}));
  EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0x200000)), s, kStrict), 0u);
  EXPECT_EQ(s, bytes({0xF8, 0x88, 0x80, 0x80, 0x80}));
  EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0x4000000)), s, kStrict), 0u);
  EXPECT_EQ(s, bytes({0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}));
  EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0x7FFFFFFF)), s, kStrict), 0u);
  EXPECT_EQ(s, bytes({0xFD, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF}));
  EXPECT_EQ(WideToUtf8(std::wstring(L"a") + wchar_t(0xD800), s, kStrict), 0xC7210034u);
  EXPECT_EQ(s, "a");
  EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0x80000041u)), s), 0xC7210034u);
  EXPECT_EQ(s, bytes({0xEF, 0xBF, 0xBD}));
  EXPECT_EQ(WideToUtf8(L"\uFFFF", s, kStrict), 0xC7210014u);

  std::u16string u;
  EXPECT_EQ(WideToUtf16(std::wstring(L"a") + wchar_t(0x110000), u, kStrict), 0xC7210016u);
  EXPECT_EQ(u, u"a");
  EXPECT_EQ(WideToUtf16(std::wstring(1, wchar_t(0xDC00)), u, kStrict), 0xC7210034u);
  EXPECT_EQ(WideToUtf16(L"\uFFFE", u, kStrict), 0xC7210014u);
  EXPECT_EQ(WideToUtf16(std::wstring(1, wchar_t(0x110000)) + L"b", u, kLenient), 0xC7210016u);
  EXPECT_EQ(u, u"\xFFFD" u"b");
}

TEST(Convert, FullDestinationStopsBeforeTheUnitThatDoesNotFit) {
  const char16_t src[] = u"a\u20ACb";
  char out[3];
  size_t srcLen = 3, dstLen = sizeof out;
  EXPECT_EQ(ConvertUTF16toUTF8(src, srcLen, out, dstLen, kLenient), 0xC7210001u);
  EXPECT_EQ(srcLen, 1u);
  EXPECT_EQ(dstLen, 1u);
  const char utf8[] = "\xF0\x9F\x98\x80";
  char16_t pair[1];
  srcLen = 4;
  dstLen = 1;
  EXPECT_EQ(ConvertUTF8toUTF16(utf8, srcLen, pair, dstLen, kStrict), 0xC7210001u);
  EXPECT_EQ(srcLen, 0u);
  EXPECT_EQ(dstLen, 0u);
}

TEST(Convert, Utf16ClassOverUnsignedShort) {
  qelUnicode<unsigned short> unicode;
  std::basic_string<unsigned short> u;
  const std::string utf8 = bytes({'a', 0xF0, 0x9F, 0x98, 0x80});
  size_t length = utf8.size();
  EXPECT_EQ(unicode.fromUtf8Strict(utf8.data(), length, u), 0u);
  ASSERT_EQ(u.size(), 3u);
  EXPECT_EQ(u[1], 0xD83D);
  EXPECT_EQ(u[2], 0xDE00);
  std::string back = "<";
  length = u.size();
  EXPECT_EQ(unicode.toUtf8Strict(u.data(), length, back), 0u);
  EXPECT_EQ(back, "<" + utf8);
  length = 2;  // stops inside the pair
  back.clear();
  EXPECT_EQ(unicode.toUtf8(u.data(), length, back), 0xC7210032u);
  EXPECT_EQ(back, "a" + bytes({0xEF, 0xBF, 0xBD}));
}

}  // namespace
