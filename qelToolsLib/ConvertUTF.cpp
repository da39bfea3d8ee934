#include "qelToolsLib/ConvertUTF.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "qelStatusCodes.h"

namespace qelToolsLib {

namespace {

namespace st = qel::status;

constexpr uint32_t kReplacement = 0xFFFD;

// One decoded source sequence: its status, its code point and how many source units
// it covers (for an offending sequence: how many a lenient conversion skips).
struct Decoded {
  uint32_t status;
  uint32_t codePoint;
  size_t units;
};

bool isNoncharacter(uint32_t cp) { return cp == 0xFFFE || cp == 0xFFFF; }
bool isSurrogate(uint32_t cp) { return cp >= 0xD800 && cp <= 0xDFFF; }
bool isContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

// Sequence length announced by a lead byte (1 for bytes that announce nothing).
size_t announcedLength(uint8_t lead) {
  if (lead >= 0xC0 && lead < 0xE0) return 2;
  if (lead >= 0xE0 && lead < 0xF0) return 3;
  if (lead >= 0xF0 && lead < 0xF8) return 4;
  if (lead >= 0xF8 && lead < 0xFC) return 5;
  if (lead >= 0xFC && lead < 0xFE) return 6;
  return 1;
}

// The lead byte plus the continuation bytes that follow it, up to `length`.
size_t malformedSpan(const uint8_t* s, size_t avail, size_t length) {
  size_t n = 1;
  while (n < length && n < avail && isContinuation(s[n])) ++n;
  return n;
}

// The second byte's range after the lead bytes that restrict it (overlong forms and
// code points above U+10FFFF). The surrogate range after 0xED is reported separately.
bool secondByteInRange(uint8_t lead, uint8_t second) {
  switch (lead) {
    case 0xE0: return second >= 0xA0;
    case 0xF0: return second >= 0x90;
    case 0xF4: return second <= 0x8F;
    default: return true;
  }
}

// Any sequence: the checks in the order that decides which status an offending one
// gets. The conversion loops meet it only where the fast path below stops.
Decoded decodeUtf8Checked(const uint8_t* s, size_t avail) {
  const uint8_t lead = s[0];
  const size_t length = announcedLength(lead);
  if (lead < 0xC2 || lead > 0xF4)
    return {st::UTF8_MALFORMED, 0, malformedSpan(s, avail, length)};
  for (size_t k = 1; k < length && k < avail; ++k) {
    if (!isContinuation(s[k])) return {st::UTF8_MALFORMED, 0, k};
    if (k == 1 && !secondByteInRange(lead, s[1]))
      return {st::UTF8_MALFORMED, 0, malformedSpan(s, avail, length)};
  }
  if (avail < length) return {st::TEXT_TRUNCATED, 0, avail};
  uint32_t cp = lead & (0xFF >> (length + 1));
  for (size_t k = 1; k < length; ++k) cp = (cp << 6) | (s[k] & 0x3F);
  if (isSurrogate(cp)) return {st::UTF8_SURROGATE, 0, length};
  if (isNoncharacter(cp)) return {st::UNICODE_NONCHARACTER, 0, length};
  return {0, cp, length};
}

template <typename Unit>
inline Decoded decodeUtf16(const Unit* s, size_t avail) {
  const uint32_t u = static_cast<uint16_t>(s[0]);
  if (u >= 0xD800 && u <= 0xDBFF) {
    if (avail < 2) return {st::TEXT_TRUNCATED, 0, 1};
    const uint32_t low = static_cast<uint16_t>(s[1]);
    if (low < 0xDC00 || low > 0xDFFF) return {st::UTF16_UNPAIRED_SURROGATE, 0, 1};
    return {0, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), 2};
  }
  if (isSurrogate(u)) return {st::UTF16_UNPAIRED_SURROGATE, 0, 1};
  if (isNoncharacter(u)) return {st::UNICODE_NONCHARACTER, 0, 1};
  return {0, u, 1};
}

template <typename Unit>
inline Decoded decodeUtf32(const Unit* s, size_t /*avail*/) {
  const uint32_t v = static_cast<uint32_t>(s[0]);
  if ((v & 0x80000000u) != 0 || isSurrogate(v)) return {st::UTF32_INVALID_VALUE, 0, 1};
  if (isNoncharacter(v)) return {st::UNICODE_NONCHARACTER, 0, 1};
  return {0, v, 1};
}

// The decoders as function objects, so that each conversion loop inlines its own.
struct Utf8Source {
  Decoded operator()(const uint8_t* s, size_t avail) const {
    if (s[0] < 0x80) return {0, s[0], 1};
    return decodeUtf8Checked(s, avail);
  }
};
template <typename Unit>
struct Utf16Source {
  Decoded operator()(const Unit* s, size_t avail) const { return decodeUtf16(s, avail); }
};
template <typename Unit>
struct Utf32Source {
  Decoded operator()(const Unit* s, size_t avail) const { return decodeUtf32(s, avail); }
};

// Targets: check() refuses what the form cannot hold, length() and put() encode.
struct Utf8Target {
  using Unit = char;
  static uint32_t check(uint32_t) { return 0; }
  static size_t length(uint32_t cp) {
    if (cp < 0x80) return 1;
    if (cp < 0x800) return 2;
    if (cp < 0x10000) return 3;
    if (cp < 0x200000) return 4;
    if (cp < 0x4000000) return 5;
    return 6;
  }
  static void put(char* out, uint32_t cp, size_t n) {
    static const uint8_t kLead[] = {0, 0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
    for (size_t k = n - 1; k > 0; --k, cp >>= 6) out[k] = static_cast<char>(0x80 | (cp & 0x3F));
    out[0] = static_cast<char>(n == 1 ? cp : (kLead[n] | cp));
  }
};

template <typename U>
struct Utf16Target {
  using Unit = U;
  static uint32_t check(uint32_t cp) { return cp > 0x10FFFF ? st::UNICODE_OUT_OF_RANGE : 0; }
  static size_t length(uint32_t cp) { return cp < 0x10000 ? 1 : 2; }
  static void put(U* out, uint32_t cp, size_t n) {
    if (n == 1) {
      out[0] = static_cast<U>(cp);
      return;
    }
    cp -= 0x10000;
    out[0] = static_cast<U>(0xD800 + (cp >> 10));
    out[1] = static_cast<U>(0xDC00 + (cp & 0x3FF));
  }
};

template <typename U>
struct Utf32Target {
  using Unit = U;
  static uint32_t check(uint32_t) { return 0; }
  static size_t length(uint32_t) { return 1; }
  static void put(U* out, uint32_t cp, size_t) { out[0] = static_cast<U>(cp); }
};

// ASCII fast path: copies the leading units below 0x80 of src[0..n) to out, one unit
// each (every form encodes them alike and accepts them), and returns how many. Blocks
// of 16 units are tested at once and copied by a loop the compiler vectorises (the
// source and destination never overlap).
constexpr size_t kAsciiBlock = 16;

inline bool blockIsAscii(const uint8_t* src) {
  uint64_t low, high;
  std::memcpy(&low, src, sizeof low);
  std::memcpy(&high, src + sizeof low, sizeof high);
  return ((low | high) & 0x8080808080808080ull) == 0;
}

template <typename In>
bool blockIsAscii(const In* src) {
  uint32_t bits = 0;
  for (size_t k = 0; k < kAsciiBlock; ++k) bits |= static_cast<uint32_t>(src[k]);
  return bits < 0x80;
}

template <typename In, typename Out>
size_t copyAsciiRun(const In* __restrict src, size_t n, Out* __restrict out) {
  size_t i = 0;
  for (; i + kAsciiBlock <= n && blockIsAscii(src + i); i += kAsciiBlock)
    for (size_t k = 0; k < kAsciiBlock; ++k) out[i + k] = static_cast<Out>(src[i + k]);
  for (; i < n && static_cast<uint32_t>(src[i]) < 0x80; ++i) out[i] = static_cast<Out>(src[i]);
  return i;
}

// The fast paths, run before each step of the general loop; each converts as much as
// it can and stops before anything it does not handle, which the general loop then
// converts one sequence at a time (with every check and status). What they convert
// they convert exactly as the general loop would.
//
// Any source: blocks of ASCII.
template <typename Target, typename In>
void convertAsciiBlocks(const In* src, size_t& in, size_t inEnd, typename Target::Unit* dst,
                        size_t& out, size_t outEnd) {
  const size_t room = std::min(inEnd - in, outEnd - out);
  if (static_cast<uint32_t>(src[in]) >= 0x80 || room < kAsciiBlock || !blockIsAscii(src + in))
    return;
  const size_t run = copyAsciiRun(src + in, room, dst + out);
  in += run;
  out += run;
}

// UTF-8 source: every well-formed sequence, in one tight loop, while at least 4 bytes
// and 2 units of room are left (so no sequence needs a length check); a block of
// ASCII goes to the block copy.
template <typename Target>
void convertWellFormedUtf8(const uint8_t* src, size_t& in, size_t inEnd,
                           typename Target::Unit* dst, size_t& out, size_t outEnd) {
  if (inEnd - in < 4 || outEnd - out < 2) return;
  const uint8_t* s = src + in;
  const uint8_t* const sLast = src + inEnd - 4;  // last start with 4 bytes left
  typename Target::Unit* d = dst + out;
  typename Target::Unit* const dLast = dst + outEnd - 2;
  for (; s <= sLast && d <= dLast;) {
    const uint32_t lead = s[0];
    uint32_t cp;
    size_t n;
    if (lead < 0x80) {
      // The next three bytes first: a single ASCII byte between other characters (a
      // blank, say) is not worth a block test.
      if ((s[1] | s[2] | s[3]) < 0x80 && s + kAsciiBlock <= sLast && d + kAsciiBlock <= dLast &&
          blockIsAscii(s)) {
        const size_t run = copyAsciiRun(s, std::min<size_t>(sLast - s, dLast - d), d);
        s += run;
        d += run;
      } else {
        *d++ = static_cast<typename Target::Unit>(lead);
        ++s;
      }
      continue;
    }
    if (lead >= 0xC2 && lead < 0xE0 && isContinuation(s[1])) {
      cp = (lead & 0x1F) << 6 | (s[1] & 0x3F);
      n = 2;
    } else if (lead >= 0xE0 && lead < 0xF0 && isContinuation(s[1]) && isContinuation(s[2])) {
      cp = (lead & 0x0F) << 12 | (s[1] & 0x3Fu) << 6 | (s[2] & 0x3F);
      if (cp < 0x800 || isSurrogate(cp) || isNoncharacter(cp)) break;
      n = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4 && isContinuation(s[1]) && isContinuation(s[2]) &&
               isContinuation(s[3])) {
      cp = (lead & 0x07) << 18 | (s[1] & 0x3Fu) << 12 | (s[2] & 0x3Fu) << 6 | (s[3] & 0x3F);
      if (cp < 0x10000 || cp > 0x10FFFF) break;
      n = 4;
    } else {
      break;
    }
    const size_t units = Target::length(cp);
    Target::put(d, cp, units);
    d += units;
    s += n;
  }
  in = static_cast<size_t>(s - src);
  out = static_cast<size_t>(d - dst);
}

// The one conversion loop behind every converter.
template <typename Target, typename SrcUnit, typename Decode>
uint32_t convert(const SrcUnit* src, size_t& srcLen, typename Target::Unit* dst,
                 size_t& dstLen, qelConvertMode mode, Decode decode) {
  const size_t inEnd = srcLen, outEnd = dstLen;
  size_t in = 0, out = 0;
  uint32_t last = 0;
  while (in < inEnd) {
    if constexpr (std::is_same_v<SrcUnit, uint8_t>)
      convertWellFormedUtf8<Target>(src, in, inEnd, dst, out, outEnd);
    else
      convertAsciiBlocks<Target>(src, in, inEnd, dst, out, outEnd);
    if (in == inEnd) break;
    Decoded d = decode(src + in, inEnd - in);
    if (d.status == 0) d.status = Target::check(d.codePoint);
    if (d.status != 0) {
      if (mode == qelConvertMode::Strict) {
        last = d.status;
        break;
      }
      last = d.status;
      d.codePoint = kReplacement;
    }
    const size_t n = Target::length(d.codePoint);
    if (outEnd - out < n) {
      last = st::INSUFFICIENT_RESOURCES;
      break;
    }
    Target::put(dst + out, d.codePoint, n);
    out += n;
    in += d.units;
  }
  srcLen = in;
  dstLen = out;
  return last;
}

const uint8_t* bytes(const char* s) { return reinterpret_cast<const uint8_t*>(s); }

}  // namespace

uint32_t ConvertUTF8toUTF16(const char* src, size_t& srcLen, char16_t* dst, size_t& dstLen,
                            qelConvertMode mode) noexcept {
  return convert<Utf16Target<char16_t>>(bytes(src), srcLen, dst, dstLen, mode, Utf8Source{});
}

uint32_t ConvertUTF8toUTF16(const char* src, size_t& srcLen, unsigned short* dst,
                            size_t& dstLen, qelConvertMode mode) noexcept {
  return convert<Utf16Target<unsigned short>>(bytes(src), srcLen, dst, dstLen, mode,
                                              Utf8Source{});
}

uint32_t ConvertUTF8toUTF32(const char* src, size_t& srcLen, char32_t* dst, size_t& dstLen,
                            qelConvertMode mode) noexcept {
  return convert<Utf32Target<char32_t>>(bytes(src), srcLen, dst, dstLen, mode, Utf8Source{});
}

uint32_t ConvertUTF8toUTF32(const char* src, size_t& srcLen, wchar_t* dst, size_t& dstLen,
                            qelConvertMode mode) noexcept {
  return convert<Utf32Target<wchar_t>>(bytes(src), srcLen, dst, dstLen, mode, Utf8Source{});
}

uint32_t ConvertUTF16toUTF8(const char16_t* src, size_t& srcLen, char* dst, size_t& dstLen,
                            qelConvertMode mode) noexcept {
  return convert<Utf8Target>(src, srcLen, dst, dstLen, mode, Utf16Source<char16_t>{});
}

uint32_t ConvertUTF16toUTF8(const unsigned short* src, size_t& srcLen, char* dst,
                            size_t& dstLen, qelConvertMode mode) noexcept {
  return convert<Utf8Target>(src, srcLen, dst, dstLen, mode, Utf16Source<unsigned short>{});
}

uint32_t ConvertUTF32toUTF8(const char32_t* src, size_t& srcLen, char* dst, size_t& dstLen,
                            qelConvertMode mode) noexcept {
  return convert<Utf8Target>(src, srcLen, dst, dstLen, mode, Utf32Source<char32_t>{});
}

uint32_t ConvertUTF32toUTF8(const wchar_t* src, size_t& srcLen, char* dst, size_t& dstLen,
                            qelConvertMode mode) noexcept {
  return convert<Utf8Target>(src, srcLen, dst, dstLen, mode, Utf32Source<wchar_t>{});
}

uint32_t ConvertUTF32toUTF16(const char32_t* src, size_t& srcLen, char16_t* dst,
                             size_t& dstLen, qelConvertMode mode) noexcept {
  return convert<Utf16Target<char16_t>>(src, srcLen, dst, dstLen, mode, Utf32Source<char32_t>{});
}

uint32_t ConvertUTF32toUTF16(const wchar_t* src, size_t& srcLen, char16_t* dst, size_t& dstLen,
                             qelConvertMode mode) noexcept {
  return convert<Utf16Target<char16_t>>(src, srcLen, dst, dstLen, mode, Utf32Source<wchar_t>{});
}

uint32_t ConvertUTF16toUTF32(const char16_t* src, size_t& srcLen, char32_t* dst,
                             size_t& dstLen, qelConvertMode mode) noexcept {
  return convert<Utf32Target<char32_t>>(src, srcLen, dst, dstLen, mode, Utf16Source<char16_t>{});
}

uint32_t ConvertUTF16toUTF32(const char16_t* src, size_t& srcLen, wchar_t* dst, size_t& dstLen,
                             qelConvertMode mode) noexcept {
  return convert<Utf32Target<wchar_t>>(src, srcLen, dst, dstLen, mode, Utf16Source<char16_t>{});
}

}  // namespace qelToolsLib
