// The characters and names XML 1.0 allows, and the writers' escaping built on them:
// whatever the library writes must read back as the same values, so characters that
// XML 1.0 cannot carry at all are replaced by U+FFFD, and characters that a reader
// would normalise (TAB, LF and CR in attribute values, CR in content) are written as
// character references. Pure functions; any thread.
#ifndef QEL_CML_XML_CHARS_H
#define QEL_CML_XML_CHARS_H

#include <cstddef>
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

namespace chars_detail {
// ASCII characters that are escaped or not allowed: controls and markup.
struct SpecialTable {
  bool special[128];
  constexpr SpecialTable() : special() {
    for (unsigned c = 0; c < 128; ++c) {
      special[c] = c < 0x20 || c == '<' || c == '>' || c == '&' || c == '\'' || c == '"';
    }
  }
};
inline constexpr SpecialTable kSpecial;

// The entity or character reference that stands for `c`, or null.
const wchar_t* Reference(wchar_t c, bool attribute, std::size_t& length);

inline bool NeedsWork(wchar_t wc) {
  const auto c = static_cast<unsigned long>(static_cast<std::make_unsigned_t<wchar_t>>(wc));
  return c < 128 ? kSpecial.special[c] : c >= 0xD800;
}
}  // namespace chars_detail

// Appends [text, end) to `out` (anything with append(const wchar_t*, size_t) and
// push_back(wchar_t)) with markup characters escaped; in an attribute value also TAB,
// LF and CR, in content CR, as character references. Characters XML 1.0 does not
// allow become U+FFFD. Runs that need nothing are copied whole.
template <class Out>
void AppendEscaped(Out& out, const wchar_t* text, const wchar_t* end, bool attribute) {
  const wchar_t* clean = text;  // start of the run not yet copied
  for (const wchar_t* s = text; s < end; ++s) {
    if (!chars_detail::NeedsWork(*s)) continue;
    std::size_t length = 0;
    const wchar_t* reference = chars_detail::Reference(*s, attribute, length);
    if (reference == nullptr && IsXmlChar(*s)) continue;
    out.append(clean, static_cast<std::size_t>(s - clean));
    if (reference != nullptr) {
      out.append(reference, length);
    } else {
      out.push_back(kReplacementChar);
    }
    clean = s + 1;
  }
  out.append(clean, static_cast<std::size_t>(end - clean));
}

// Appends [text, end) unchanged except that characters XML 1.0 does not allow become
// U+FFFD (comments, CDATA sections, processing instructions, verbatim text).
template <class Out>
void AppendCharacterData(Out& out, const wchar_t* text, const wchar_t* end) {
  const wchar_t* clean = text;
  for (const wchar_t* s = text; s < end; ++s) {
    if (IsXmlChar(*s)) continue;
    out.append(clean, static_cast<std::size_t>(s - clean));
    out.push_back(kReplacementChar);
    clean = s + 1;
  }
  out.append(clean, static_cast<std::size_t>(end - clean));
}

inline void AppendEscaped(std::wstring& out, const std::wstring& text, bool attribute) {
  AppendEscaped(out, text.data(), text.data() + text.size(), attribute);
}
inline void AppendCharacterData(std::wstring& out, const std::wstring& text) {
  AppendCharacterData(out, text.data(), text.data() + text.size());
}

// True when `text` holds only characters XML 1.0 allows.
bool AllXmlChars(const std::wstring& text);

// Whether a comment or a processing instruction reads back as written: a comment
// holds no "--" and no CR and does not end with "-"; an instruction's target is an
// NCName other than "xml" (in any case) and its data holds no "?>" and no CR and does
// not start with white space.
bool IsWritableComment(const std::wstring& text);
bool IsWritableProcessingInstruction(const std::wstring& target, const std::wstring& data);

// Name and NCName (a Name without ':') of XML 1.0 and Namespaces in XML; QName is
// an NCName or two NCNames joined by one ':'.
bool IsXmlName(const std::wstring& name);
bool IsNCName(const std::wstring& name);
bool IsQName(const std::wstring& name);
// The part of a QName before ':' (empty when there is none), and whether there is one.
std::wstring PrefixOf(const std::wstring& qname);
bool HasPrefix(const std::wstring& qname);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_XML_CHARS_H
