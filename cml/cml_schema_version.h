// Schema version texts ("major.minor.patch") and their comparison, plus the number
// reader that CML uses for codes and patch levels (stream extraction with automatic
// base: "0x" hexadecimal, leading "0" octal, else decimal). Pure functions.
#ifndef QEL_CML_SCHEMA_VERSION_H
#define QEL_CML_SCHEMA_VERSION_H

#include <cstdint>
#include <string>

namespace qel {
namespace cml {

enum class SchemaVersionRelation {
  Equal = 0,
  OlderPatch = 1,     // a's patch level is lower than b's
  NewerPatch = 2,     // a's patch level is higher than b's
  MinorMismatch = 3,
  MajorMismatch = 4,
};

// Relation of version a to version b. Major and minor parts compare as texts, the
// patch parts as numbers (unreadable patch reads as 0).
SchemaVersionRelation CompareSchemaVersions(const std::wstring& a, const std::wstring& b);

// Reads an unsigned 32-bit number with automatic base after optional leading blanks.
// Returns false (and leaves `value` alone) when the text is not a readable number.
bool ParseUnsignedAutoBase(const std::wstring& text, std::uint32_t& value);

// The same with a fallback for unreadable text.
std::uint32_t ParseUnsignedOr(const std::wstring& text, std::uint32_t fallback);

// A signed 32-bit number the same way (a leading '-' allowed); `fallback` when the
// text is not a readable number in range.
std::int32_t ParseSignedOr(const std::wstring& text, std::int32_t fallback);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_SCHEMA_VERSION_H
