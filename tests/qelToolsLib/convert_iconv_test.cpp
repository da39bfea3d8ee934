// The converters against the C library's iconv as an independent reference, on
// random valid and invalid input.
//
// Where the two are meant to differ, the generators and checks allow for it:
//  - U+FFFE and U+FFFF are errors here (0xC7210014) and characters for iconv: when
//    iconv succeeds on text that holds one, the strict conversion must fail with that
//    status at its position instead.
//  - UTF-32 values from U+110000 to 0x7FFFFFFF are written here in the long UTF-8
//    forms (4 to 6 bytes); iconv refuses them. The UTF-32 to UTF-8 generator stays at
//    or below U+10FFFF or sets the top bit (an error for both).
//  - At the very end of the input, iconv reports a lead byte it cannot complete as an
//    incomplete sequence (EINVAL) even when no continuation could make it legal (F5,
//    E0 80); here that is a malformed sequence (0xC7210019). Both stop at the same
//    position, so only the position is compared there.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "qelToolsLib/qelStringConvert.h"
#include "qelToolsLib/qelUnicode.h"

namespace {

using qelToolsLib::qelConvertMode;
using namespace qelToolsLib;

// One iconv conversion: ok, or the errno and the number of input bytes consumed.
struct IconvResult {
  bool ok;
  int error;
  size_t consumed;
  std::string output;
};

IconvResult runIconv(const char* to, const char* from, const std::string& input) {
  iconv_t cd = iconv_open(to, from);
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string output(input.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char* out = &output[0];
  size_t outLeft = output.size();
  const size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
  const int error = rc == static_cast<size_t>(-1) ? errno : 0;
  iconv_close(cd);
  output.resize(output.size() - outLeft);
  return {rc != static_cast<size_t>(-1), error, input.size() - inLeft, output};
}

template <typename Unit>
std::string asBytes(const std::basic_string<Unit>& s) {
  return std::string(reinterpret_cast<const char*>(s.data()), s.size() * sizeof(Unit));
}

template <typename Unit>
std::basic_string<Unit> fromBytes(const std::string& s) {
  std::basic_string<Unit> out(s.size() / sizeof(Unit), Unit());
  std::memcpy(&out[0], s.data(), out.size() * sizeof(Unit));
  return out;
}

class Generator {
 public:
  explicit Generator(unsigned seed) : m_rng(seed) {}
  uint32_t below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(m_rng); }

  // A valid code point, weighted towards every encoded length.
  uint32_t codePoint() {
    static const uint32_t kTops[] = {0x80, 0x800, 0x10000, 0x110000};
    for (;;) {
      uint32_t cp = below(kTops[below(4)]);
      if ((cp < 0xD800 || cp > 0xDFFF) && cp != 0xFFFE && cp != 0xFFFF && cp != 0) return cp;
    }
  }
  // Mostly ASCII with runs of other characters, as real messages are: long enough
  // for the converters' fast paths (blocks of ASCII, well-formed runs) to take part.
  std::wstring textLikeWide(size_t n) {
    std::wstring w;
    while (w.size() < n) {
      const uint32_t run = 1 + below(40);
      const bool ascii = below(3) != 0;
      for (uint32_t i = 0; i < run; ++i)
        w += static_cast<wchar_t>(ascii ? 0x20 + below(0x5F) : codePoint());
    }
    return w;
  }
  std::wstring validWide(size_t n) {
    std::wstring w;
    for (size_t i = 0; i < n; ++i) w += static_cast<wchar_t>(codePoint());
    return w;
  }
  // Bytes drawn from the interesting classes: ASCII, continuation, every lead byte,
  // and valid sequences.
  std::string mixedBytes(size_t n) {
    std::string s;
    std::string valid;
    while (s.size() < n) {
      switch (below(4)) {
        case 0: s += static_cast<char>(1 + below(0x7F)); break;
        case 1: s += static_cast<char>(0x80 + below(0x40)); break;
        case 2: s += static_cast<char>(0xC0 + below(0x40)); break;
        default:
          WideToUtf8(std::wstring(1, static_cast<wchar_t>(codePoint())), valid);
          s += valid;
      }
    }
    return s;
  }
  std::u16string mixedUtf16(size_t n) {
    std::u16string u;
    for (size_t i = 0; i < n; ++i) {
      switch (below(4)) {
        case 0: u += static_cast<char16_t>(0xD800 + below(0x800)); break;  // any surrogate
        case 1: u += static_cast<char16_t>(0xFFFE + below(2)); break;
        default: u += static_cast<char16_t>(1 + below(0xD7FF));
      }
    }
    return u;
  }
  std::wstring mixedWide(size_t n) {
    std::wstring w;
    for (size_t i = 0; i < n; ++i) {
      switch (below(5)) {
        case 0: w += static_cast<wchar_t>(0xD800 + below(0x800)); break;
        case 1: w += static_cast<wchar_t>(0xFFFE + below(2)); break;
        case 2: w += static_cast<wchar_t>(0x80000000u | below(0x7FFFFFFF)); break;
        default: w += static_cast<wchar_t>(codePoint());
      }
    }
    return w;
  }

 private:
  std::mt19937 m_rng;
};

constexpr int kRounds = 400;

TEST(ConvertIconv, ValidTextMatchesIconvInEveryDirection) {
  Generator gen(20240601);
  for (int round = 0; round < kRounds; ++round) {
    const std::wstring wide = gen.validWide(1 + gen.below(40));
    std::string utf8;
    ASSERT_EQ(WideToUtf8(wide, utf8, qelConvertMode::Strict), 0u);
    EXPECT_EQ(utf8, runIconv("UTF-8", "UTF-32LE", asBytes(wide)).output);

    std::wstring wideBack;
    ASSERT_EQ(Utf8ToWide(utf8, wideBack, qelConvertMode::Strict), 0u);
    EXPECT_EQ(asBytes(wideBack), runIconv("UTF-32LE", "UTF-8", utf8).output);

    std::u16string utf16;
    ASSERT_EQ(Utf8ToUtf16(utf8, utf16, qelConvertMode::Strict), 0u);
    EXPECT_EQ(asBytes(utf16), runIconv("UTF-16LE", "UTF-8", utf8).output);

    std::string utf8Back;
    ASSERT_EQ(Utf16ToUtf8(utf16, utf8Back, qelConvertMode::Strict), 0u);
    EXPECT_EQ(utf8Back, utf8);

    std::u16string utf16FromWide;
    ASSERT_EQ(WideToUtf16(wide, utf16FromWide, qelConvertMode::Strict), 0u);
    EXPECT_EQ(utf16FromWide, utf16);
    ASSERT_EQ(Utf16ToWide(utf16, wideBack, qelConvertMode::Strict), 0u);
    EXPECT_EQ(wideBack, wide);
  }
}

// Long text with offending bytes spliced in at random places: strict conversions stop
// exactly where iconv stops, with the same text before; lenient ones replace each
// offending byte (0xFF is always a sequence of its own) with U+FFFD and convert the
// valid text around it exactly.
TEST(ConvertIconv, LongTextWithOffendingBytesMatchesInBothModes) {
  Generator gen(31337);
  for (int round = 0; round < kRounds; ++round) {
    const std::wstring before = gen.textLikeWide(gen.below(300));
    const std::wstring after = gen.textLikeWide(gen.below(300));
    std::string utf8Before, utf8After;
    WideToUtf8(before, utf8Before);
    WideToUtf8(after, utf8After);
    const std::string input = utf8Before + "\xFF" + utf8After;

    std::wstring wide;
    EXPECT_EQ(Utf8ToWide(input, wide, qelConvertMode::Lenient), 0xC7210019u);
    EXPECT_EQ(wide, before + L'\xFFFD' + after);
    std::u16string utf16, utf16Before, utf16After;
    EXPECT_EQ(Utf8ToUtf16(input, utf16, qelConvertMode::Lenient), 0xC7210019u);
    WideToUtf16(before, utf16Before);
    WideToUtf16(after, utf16After);
    EXPECT_EQ(utf16, utf16Before + u'\xFFFD' + utf16After);

    const IconvResult ref = runIconv("UTF-32LE", "UTF-8", input);
    ASSERT_FALSE(ref.ok);
    size_t length = input.size();
    wide.clear();
    EXPECT_EQ(qelUnicode<wchar_t>().fromUtf8Strict(input.data(), length, wide), 0xC7210019u);
    EXPECT_EQ(length, ref.consumed);
    EXPECT_EQ(asBytes(wide), ref.output);
    // The same text cut inside its last character: truncated, like iconv's EINVAL.
    const std::string cut = utf8Before + "\xE2\x82";
    EXPECT_EQ(Utf8ToWide(cut, wide, qelConvertMode::Strict), 0xC7210032u);
    EXPECT_EQ(wide, before);
  }
}

// The position (in source units) of the first U+FFFE/U+FFFF in iconv's UTF-32 output
// of a prefix; npos when none.
size_t firstNoncharacter(const std::u32string& decoded) {
  for (size_t i = 0; i < decoded.size(); ++i)
    if (decoded[i] == 0xFFFE || decoded[i] == 0xFFFF) return i;
  return std::u32string::npos;
}

TEST(ConvertIconv, StrictUtf8DecodingFailsWhereIconvFails) {
  Generator gen(777);
  for (int round = 0; round < kRounds * 4; ++round) {
    const std::string input = gen.mixedBytes(1 + gen.below(12));
    const IconvResult ref = runIconv("UTF-32LE", "UTF-8", input);
    std::wstring wide;
    const uint32_t status = Utf8ToWide(input, wide, qelConvertMode::Strict);
    // Where iconv stopped (or the end): everything before it decodes alike.
    const std::u32string refChars = fromBytes<char32_t>(ref.output);
    const size_t nonchar = firstNoncharacter(refChars);
    if (nonchar != std::u32string::npos) {
      EXPECT_EQ(status, 0xC7210014u) << "U+FFFE/U+FFFF are errors here";
      EXPECT_EQ(wide.size(), nonchar);
      continue;
    }
    EXPECT_EQ(asBytes(wide), ref.output) << "same text up to the failure";
    size_t length = input.size();
    std::wstring stopped;
    qelUnicode<wchar_t>().fromUtf8Strict(input.data(), length, stopped);
    EXPECT_EQ(length, ref.ok ? input.size() : ref.consumed) << "stops at the same byte";
    if (ref.ok) {
      EXPECT_EQ(status, 0u);
    } else if (ref.error == EILSEQ) {
      EXPECT_TRUE(status == 0xC7210019u || status == 0xC721001Au) << std::hex << status;
    } else {
      EXPECT_EQ(ref.error, EINVAL);
      EXPECT_TRUE(status == 0xC7210032u || status == 0xC7210019u) << std::hex << status;
    }
    // Lenient mode never fails and never stops early.
    std::u16string utf16;
    const uint32_t lenient = Utf8ToUtf16(input, utf16, qelConvertMode::Lenient);
    EXPECT_EQ(lenient == 0, status == 0);
  }
}

// The index of the first U+FFFE/U+FFFF among the first `limit` units; npos if none.
template <typename Unit>
size_t firstNoncharacterUnit(const std::basic_string<Unit>& s, size_t limit) {
  for (size_t i = 0; i < limit && i < s.size(); ++i)
    if (static_cast<uint32_t>(s[i]) == 0xFFFE || static_cast<uint32_t>(s[i]) == 0xFFFF) return i;
  return std::string::npos;
}

// Checks a strict conversion that stopped after `consumed` units with `status` and
// wrote `output`, against iconv's result `ref` for the same input. `unitBytes` is the
// size of a source unit; `refused` the statuses that match iconv's EILSEQ.
template <typename Unit>
void expectLikeIconv(const std::basic_string<Unit>& input, const IconvResult& ref,
                     size_t consumed, uint32_t status, const std::string& output,
                     std::initializer_list<uint32_t> refused) {
  const size_t refStop = ref.ok ? input.size() : ref.consumed / sizeof(Unit);
  const size_t nonchar = firstNoncharacterUnit(input, refStop);
  EXPECT_EQ(output, ref.output.substr(0, output.size())) << "same text up to the stop";
  if (nonchar != std::string::npos) {
    EXPECT_EQ(status, 0xC7210014u) << "U+FFFE/U+FFFF are errors here";
    EXPECT_EQ(consumed, nonchar);
    return;
  }
  EXPECT_EQ(consumed, refStop) << "stops where iconv stops";
  EXPECT_EQ(output, ref.output);
  if (ref.ok) {
    EXPECT_EQ(status, 0u);
  } else if (ref.error == EINVAL) {
    EXPECT_EQ(status, 0xC7210032u);
  } else {
    EXPECT_NE(std::find(refused.begin(), refused.end(), status), refused.end())
        << std::hex << status;
  }
}

TEST(ConvertIconv, StrictUtf16EncodingFailsWhereIconvFails) {
  Generator gen(99);
  for (int round = 0; round < kRounds * 4; ++round) {
    const std::u16string input = gen.mixedUtf16(1 + gen.below(10));
    const IconvResult ref = runIconv("UTF-8", "UTF-16LE", asBytes(input));
    size_t consumed = input.size();
    std::string utf8;
    const uint32_t status = qelUnicode<char16_t>().toUtf8Strict(input.data(), consumed, utf8);
    expectLikeIconv(input, ref, consumed, status, utf8, {0xC7210017u});
  }
}

TEST(ConvertIconv, StrictUtf32EncodingFailsWhereIconvFails) {
  Generator gen(5);
  for (int round = 0; round < kRounds * 4; ++round) {
    const std::wstring input = gen.mixedWide(1 + gen.below(10));
    const IconvResult toUtf8 = runIconv("UTF-8", "UTF-32LE", asBytes(input));
    size_t consumed = input.size();
    std::string utf8;
    uint32_t status = qelUnicode<wchar_t>().toUtf8Strict(input.data(), consumed, utf8);
    expectLikeIconv(input, toUtf8, consumed, status, utf8, {0xC7210034u});

    const IconvResult toUtf16 = runIconv("UTF-16LE", "UTF-32LE", asBytes(input));
    std::u16string utf16(input.size() * 2, u'\0');
    consumed = input.size();
    size_t written = utf16.size();
    status = ConvertUTF32toUTF16(input.data(), consumed, &utf16[0], written,
                                 qelConvertMode::Strict);
    utf16.resize(written);
    expectLikeIconv(input, toUtf16, consumed, status, asBytes(utf16), {0xC7210034u});
  }
}

}  // namespace
