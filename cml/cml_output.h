// CCmlOutput: where the CML writers put their text. It wraps either a wide stream
// (text written as it is) or a byte stream (wide text converted by the codecvt facet
// of the locale imbued on the stream, the toolkit's UTF-8 facet in practice). All
// output is collected and only Finish() writes it, so a failed write leaves nothing.
// Owned by the writing call on its stack; one thread.
#ifndef QEL_CML_OUTPUT_H
#define QEL_CML_OUTPUT_H

#include <cstdint>
#include <iosfwd>
#include <locale>
#include <string>

namespace qel {
namespace cml {

class CCmlOutput {
 public:
  enum class Kind { WideFile, WideString, WideOther, Bytes };

  explicit CCmlOutput(std::wostream& os);
  explicit CCmlOutput(std::ostream& os);
  CCmlOutput(const CCmlOutput&) = delete;
  CCmlOutput& operator=(const CCmlOutput&) = delete;
  // Does not flush: output of a failed write is dropped, never half written.
  ~CCmlOutput();

  Kind GetKind() const { return m_kind; }

  // Markup and text that is already safe to write.
  CCmlOutput& operator<<(const std::wstring& text);
  CCmlOutput& operator<<(const wchar_t* text);
  CCmlOutput& operator<<(wchar_t c);
  // Character data, escaped for an attribute value or for content (cml_xml_chars.h).
  void Escaped(const std::wstring& text, bool attribute);
  // Character data written as it is, except that characters XML 1.0 does not allow
  // become U+FFFD.
  void CharacterData(const std::wstring& text);
  // level x indent width blanks.
  void Indent(unsigned level);
  // Length of the text collected so far, and removal of a part of it.
  std::size_t Size() const { return m_pending.size(); }
  void Erase(std::size_t pos, std::size_t count) { m_pending.erase(pos, count); }

  // Writes the collected text (converted for a byte stream). Throws CCmlException
  // when the stream's facet cannot convert a character (0xC7380033; nothing is
  // written then) or when the stream fails while taking the text (0xC7380034).
  void Finish();

 private:
  void FlushBytes();
  [[noreturn]] static void ThrowStreamFailed();

  Kind m_kind;
  std::wostream* m_wide = nullptr;
  std::ostream* m_bytes = nullptr;
  std::wstring m_pending;
};

// Imbues a stream with the UTF-8 facet for the lifetime of the guard and restores
// the previous locale afterwards.
class CUtf8LocaleGuard {
 public:
  explicit CUtf8LocaleGuard(std::ios_base& stream);
  CUtf8LocaleGuard(const CUtf8LocaleGuard&) = delete;
  CUtf8LocaleGuard& operator=(const CUtf8LocaleGuard&) = delete;
  ~CUtf8LocaleGuard();

 private:
  std::ios_base& m_stream;
  std::locale m_previous;
};

// Text helpers used by the writers.
std::wstring HexCode(std::uint32_t code);       // "0x" + lower-case hex digits
std::wstring Decimal(std::uint64_t value);
std::wstring Decimal(std::int64_t value);
const wchar_t* BoolText(bool value);            // "true" / "false"

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_OUTPUT_H
