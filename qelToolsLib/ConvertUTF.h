// ConvertUTF.h - converters between UTF-8, UTF-16 and UTF-32 over caller buffers.
//
// Each converter reads src[0..srcLen) and writes dst[0..dstLen); on return srcLen
// holds the number of source units consumed and dstLen the number of units written.
// Result: 0, or a status value:
//   0xC7210001 the destination is full (srcLen stops before the unit that did not fit)
//   0xC7210014 a noncharacter U+FFFE or U+FFFF
//   0xC7210016 a code point above U+10FFFF (UTF-16 targets)
//   0xC7210017 an unpaired UTF-16 surrogate
//   0xC7210019 a malformed UTF-8 sequence
//   0xC721001A a UTF-8 sequence that encodes a surrogate
//   0xC7210032 the source ends inside a multi-unit sequence
//   0xC7210034 a UTF-32 value that is a surrogate or has its top bit set
// Strict mode stops at the first offending sequence (srcLen = its position). Lenient
// mode writes U+FFFD for it, goes on, and returns the last such status (or 0). A
// malformed UTF-8 sequence is the lead byte plus the continuation bytes that follow
// it, up to the length its lead byte announces; a non-continuation byte starts anew.
// UTF-32 to UTF-8 writes values above U+10FFFF in the 4-, 5- and 6-byte forms of
// RFC 2279; UTF-8 input accepts only lead bytes up to 0xF4 (so at most U+10FFFF).
// Stateless: any thread. Never throws.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qelToolsLib {

enum class qelConvertMode { Strict, Lenient };

// UTF-8 units are bytes in char; UTF-16 units are char16_t or unsigned short; UTF-32
// units are char32_t or wchar_t (32 bits on this platform).
uint32_t ConvertUTF8toUTF16(const char* src, size_t& srcLen, char16_t* dst, size_t& dstLen,
                            qelConvertMode mode) noexcept;
uint32_t ConvertUTF8toUTF16(const char* src, size_t& srcLen, unsigned short* dst,
                            size_t& dstLen, qelConvertMode mode) noexcept;
uint32_t ConvertUTF8toUTF32(const char* src, size_t& srcLen, char32_t* dst, size_t& dstLen,
                            qelConvertMode mode) noexcept;
uint32_t ConvertUTF8toUTF32(const char* src, size_t& srcLen, wchar_t* dst, size_t& dstLen,
                            qelConvertMode mode) noexcept;

uint32_t ConvertUTF16toUTF8(const char16_t* src, size_t& srcLen, char* dst, size_t& dstLen,
                            qelConvertMode mode) noexcept;
uint32_t ConvertUTF16toUTF8(const unsigned short* src, size_t& srcLen, char* dst,
                            size_t& dstLen, qelConvertMode mode) noexcept;
uint32_t ConvertUTF32toUTF8(const char32_t* src, size_t& srcLen, char* dst, size_t& dstLen,
                            qelConvertMode mode) noexcept;
uint32_t ConvertUTF32toUTF8(const wchar_t* src, size_t& srcLen, char* dst, size_t& dstLen,
                            qelConvertMode mode) noexcept;

uint32_t ConvertUTF32toUTF16(const char32_t* src, size_t& srcLen, char16_t* dst,
                             size_t& dstLen, qelConvertMode mode) noexcept;
uint32_t ConvertUTF32toUTF16(const wchar_t* src, size_t& srcLen, char16_t* dst, size_t& dstLen,
                             qelConvertMode mode) noexcept;
uint32_t ConvertUTF16toUTF32(const char16_t* src, size_t& srcLen, char32_t* dst,
                             size_t& dstLen, qelConvertMode mode) noexcept;
uint32_t ConvertUTF16toUTF32(const char16_t* src, size_t& srcLen, wchar_t* dst, size_t& dstLen,
                             qelConvertMode mode) noexcept;

// Most destination units one source unit can produce (for sizing buffers).
constexpr size_t kUtf8PerUtf16 = 3;
constexpr size_t kUtf8PerUtf32 = 6;
constexpr size_t kUtf16PerUtf32 = 2;

}  // namespace qelToolsLib

using qelToolsLib::qelConvertMode;
