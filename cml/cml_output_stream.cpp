#include "cml/cml_output_stream.h"

#include <typeinfo>

#include "cml/cml_output.h"
#include "cml/cml_xerces.h"
#include "cml/cml_xml_chars.h"

namespace qel {
namespace cml {

namespace {
// Length of the UTF-8 sequence that `lead` starts (1 for anything that cannot start one).
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

// Where the complete sequences of `bytes` end: an incomplete one at the end waits.
std::size_t CompleteEnd(const std::string& bytes) {
  const std::size_t size = bytes.size();
  for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
    const auto c = static_cast<unsigned char>(bytes[size - back]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    return SequenceLength(c) > back ? size - back : size;
  }
  return size;
}
}  // namespace

CCmlOutputWStream::CCmlOutputWStream(CCmlOutput& out) : std::wostream(nullptr), m_buf(out) {
  rdbuf(&m_buf);
  exceptions(badbit);
}
CCmlOutputWStream::~CCmlOutputWStream() = default;

CCmlOutputWStream::Buffer::int_type CCmlOutputWStream::Buffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  m_out.push_back(traits_type::to_char_type(c));
  return c;
}

std::streamsize CCmlOutputWStream::Buffer::xsputn(const wchar_t* s, std::streamsize n) {
  m_out.append(s, static_cast<std::size_t>(n));
  return n;
}

CCmlOutputStream::CCmlOutputStream(CCmlOutput& out) : std::ostream(nullptr), m_buf(out) {
  rdbuf(&m_buf);
  exceptions(badbit);
}
CCmlOutputStream::~CCmlOutputStream() = default;

CCmlOutputStream::Buffer::int_type CCmlOutputStream::Buffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char byte = traits_type::to_char_type(c);
  xsputn(&byte, 1);
  return c;
}

// An incomplete sequence at the end is written as U+FFFD at once, so the text stays
// in order whatever follows; the next write takes its place if nothing came between.
std::streamsize CCmlOutputStream::Buffer::xsputn(const char* s, std::streamsize n) {
  std::string bytes;
  if (!m_pending.empty() && m_out.Size() == m_placeholder) {
    bytes.swap(m_pending);
    m_out.Erase(m_placeholder - 1, 1);
  }
  m_pending.clear();
  bytes.append(s, static_cast<std::size_t>(n));
  const std::size_t end = CompleteEnd(bytes);
  const std::wstring text = FromUtf8(bytes.substr(0, end));
  m_out.append(text.data(), text.size());
  if (end < bytes.size()) {
    m_pending = bytes.substr(end);
    m_out.push_back(kReplacementChar);
    m_placeholder = m_out.Size();
  }
  return n;
}

CCmlOutput* BoundOutput(std::wostream& os) {
  if (typeid(os) != typeid(CCmlOutputWStream)) return nullptr;
  return &static_cast<CCmlOutputWStream&>(os).Output();
}

CCmlOutput* BoundOutput(std::ostream& os) {
  if (typeid(os) != typeid(CCmlOutputStream)) return nullptr;
  return &static_cast<CCmlOutputStream&>(os).Output();
}

}  // namespace cml
}  // namespace qel
