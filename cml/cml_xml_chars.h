// The characters and names XML 1.0 allows, and the writers' escaping built on them:
// whatever the library writes must read back as the same values, so characters that
// XML 1.0 cannot carry at all are replaced by U+FFFD, and characters that a reader
// would normalise (TAB, LF and CR in attribute values, CR in content) are written as
// character references. Pure functions; any thread.
#ifndef QEL_CML_XML_CHARS_H
#define QEL_CML_XML_CHARS_H

#include <string>
#include <type_traits>

namespace qel {
namespace cml {

// Stands in for every character XML 1.0 does not allow.
constexpr wchar_t kReplacementChar = 0xFFFD;

// Char of XML 1.0: TAB, LF, CR, U+0020-U+D7FF, U+E000-U+FFFD, U+10000-U+10FFFF.
inline bool IsXmlChar(wchar_t wc) {
  const auto c = static_cast<unsigned long>(static_cast<std::make_unsigned_t<wchar_t>>(wc));
  if (c >= 0x20 && c < 0xD800) return true;
  if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
  return (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Appends `text` with markup characters escaped; in an attribute value also TAB,
// LF and CR, in content CR, as character references. Characters XML 1.0 does not
// allow become U+FFFD.
void AppendEscaped(std::wstring& out, const std::wstring& text, bool attribute);
// Appends `text` unchanged except that characters XML 1.0 does not allow become
// U+FFFD (comments, CDATA sections, processing instructions, verbatim text).
void AppendCharacterData(std::wstring& out, const std::wstring& text);
// True when `text` holds only characters XML 1.0 allows.
bool AllXmlChars(const std::wstring& text);

// Name and NCName (a Name without ':') of XML 1.0 and Namespaces in XML; QName is
// an NCName or two NCNames joined by one ':'.
bool IsXmlName(const std::wstring& name);
bool IsNCName(const std::wstring& name);
bool IsQName(const std::wstring& name);
// The part of a QName before ':' (empty when there is none).
std::wstring PrefixOf(const std::wstring& qname);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_XML_CHARS_H
