// CCmlOutput: where the CML writers put their text. It wraps a wide stream (text
// written as it is), a byte stream (wide text converted by the codecvt facet of the
// locale imbued on the stream, the toolkit's UTF-8 facet in practice, which is
// applied directly) or a UTF-8 string (no stream at all: the fast form for callers
// that want the bytes). All output is collected and only Finish() writes it, so a
// failed write leaves nothing. The virtual writers of the documents take a stream:
// WithStream hands them the stream of this output (cml_output_stream.h), whose text
// joins the collected output. Owned by the writing call on its stack; one thread.
#ifndef QEL_CML_OUTPUT_H
#define QEL_CML_OUTPUT_H

#include <cstdint>
#include <iosfwd>
#include <locale>
#include <memory>
#include <optional>
#include <string>

#include "cml/cml_output_stream.h"

namespace qel {
namespace cml {

class CCmlOutput {
 public:
  enum class Kind { WideFile, WideString, WideOther, Bytes };

  explicit CCmlOutput(std::wostream& os);
  explicit CCmlOutput(std::ostream& os);
  // Finish() appends the text to `utf8` as UTF-8 (declared as a byte stream's).
  explicit CCmlOutput(std::string& utf8);
  CCmlOutput(const CCmlOutput&) = delete;
  CCmlOutput& operator=(const CCmlOutput&) = delete;
  // Does not flush: output of a failed write is dropped, never half written.
  ~CCmlOutput();

  Kind GetKind() const { return m_kind; }

  // The streams whose text joins this output (made on first use).
  std::wostream& WideStream();
  std::ostream& ByteStream();
  // Calls `write` with the stream of this output's kind: the wide stream for an
  // output to a wide stream, the byte stream otherwise (`write` takes either).
  template <class Write>
  void WithStream(Write&& write) {
    if (m_wide != nullptr) {
      write(WideStream());
    } else {
      write(ByteStream());
    }
  }

  // Markup and text that is already safe to write.
  CCmlOutput& operator<<(const std::wstring& text) {
    append(text.data(), text.size());
    return *this;
  }
  CCmlOutput& operator<<(const wchar_t* text) {
    // Inline, so that the length of a literal is known where it is written.
    if (text != nullptr) append(text, std::char_traits<wchar_t>::length(text));
    return *this;
  }
  CCmlOutput& operator<<(wchar_t c) {
    push_back(c);
    return *this;
  }
  // The collected text grows in place (the escaping helpers write through these).
  void append(const wchar_t* text, std::size_t count) {
    if (count > m_capacity - m_size) Grow(count);
    for (std::size_t i = 0; i < count; ++i) m_text[m_size + i] = text[i];
    m_size += count;
  }
  void push_back(wchar_t c) {
    if (m_size == m_capacity) Grow(1);
    m_text[m_size++] = c;
  }
  // Character data, escaped for an attribute value or for content (cml_xml_chars.h).
  void Escaped(const std::wstring& text, bool attribute);
  // Character data written as it is, except that characters XML 1.0 does not allow
  // become U+FFFD.
  void CharacterData(const std::wstring& text);
  // level x indent width blanks.
  void Indent(unsigned level);
  // Length of the text collected so far, and removal of a part of it.
  std::size_t Size() const { return m_size; }
  void Erase(std::size_t pos, std::size_t count);

  // Writes the collected text (converted for a byte stream). Throws CCmlException
  // when the stream's facet cannot convert a character (0xC7380033; nothing is
  // written then) or when the stream fails while taking the text (0xC7380034).
  void Finish();

 private:
  void Grow(std::size_t more);
  void FlushBytes();
  [[noreturn]] static void ThrowStreamFailed();

  Kind m_kind;
  std::wostream* m_wide = nullptr;
  std::ostream* m_bytes = nullptr;
  std::string* m_utf8 = nullptr;
  std::unique_ptr<wchar_t[]> m_text;  // the collected text, m_size of m_capacity used
  std::size_t m_size = 0;
  std::size_t m_capacity = 0;
  std::optional<CCmlOutputWStream> m_wideStream;
  std::optional<CCmlOutputStream> m_byteStream;
};

// The stream of `out` of the same kind as `os`: what a write that began on `os` hands
// to the virtual writers.
inline std::wostream& StreamOf(CCmlOutput& out, std::wostream&) { return out.WideStream(); }
inline std::ostream& StreamOf(CCmlOutput& out, std::ostream&) { return out.ByteStream(); }

// Runs `write` on the output of the write in progress that handed `os` over or, for
// any other stream, on an output of its own, finished at the end (the text reaches
// `os` only when `write` completes).
template <class Stream, class Write>
void WriteThrough(Stream& os, Write&& write) {
  if (CCmlOutput* bound = BoundOutput(os)) {
    write(*bound);
    return;
  }
  CCmlOutput out(os);
  write(out);
  out.Finish();
}

// Imbues a stream with the UTF-8 facet for the lifetime of the guard and restores
// the previous locale afterwards (nothing changes when it already has the facet).
class CUtf8LocaleGuard {
 public:
  explicit CUtf8LocaleGuard(std::ios_base& stream);
  CUtf8LocaleGuard(const CUtf8LocaleGuard&) = delete;
  CUtf8LocaleGuard& operator=(const CUtf8LocaleGuard&) = delete;
  ~CUtf8LocaleGuard();

 private:
  std::ios_base& m_stream;
  std::locale m_previous;
  bool m_imbued = false;
};

// Text helpers used by the writers.
std::wstring HexCode(std::uint32_t code);       // "0x" + lower-case hex digits
std::wstring Decimal(std::uint64_t value);
std::wstring Decimal(std::int64_t value);
const wchar_t* BoolText(bool value);            // "true" / "false"

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_OUTPUT_H
