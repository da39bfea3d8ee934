#include "cml/cml_output.h"

#include <algorithm>
#include <cwchar>
#include <fstream>
#include <ostream>
#include <sstream>
#include <typeinfo>

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_settings.h"
#include "cml/cml_vocabulary.h"
#include "cml/cml_xml_chars.h"
#include "qelToolsLib/qelStringConvert.h"

namespace qel {
namespace cml {

namespace {
using Facet = std::codecvt<wchar_t, char, std::mbstate_t>;

// The text most documents fit in, reserved once instead of grown step by step.
constexpr std::size_t kInitialCapacity = 4096;

CCmlOutput::Kind WideKind(std::wostream& os) {
  if (dynamic_cast<std::wofstream*>(&os) != nullptr ||
      dynamic_cast<std::wfstream*>(&os) != nullptr) {
    return CCmlOutput::Kind::WideFile;
  }
  if (dynamic_cast<std::wostringstream*>(&os) != nullptr ||
      dynamic_cast<std::wstringstream*>(&os) != nullptr) {
    return CCmlOutput::Kind::WideString;
  }
  return CCmlOutput::Kind::WideOther;
}

bool IsToolkitFacet(const Facet& facet) {
  return typeid(facet) == typeid(qelToolsLib::CQelCodecvt);
}

// Writes the UTF-8 of one code point (at most four bytes) at `p`.
char* EncodeUtf8(std::uint32_t c, char* p) {
  if (c < 0x800) {
    *p++ = static_cast<char>(0xC0 | (c >> 6));
  } else {
    if (c < 0x10000) {
      *p++ = static_cast<char>(0xE0 | (c >> 12));
    } else {
      *p++ = static_cast<char>(0xF0 | (c >> 18));
      *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    }
    *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  }
  *p++ = static_cast<char>(0x80 | (c & 0x3F));
  return p;
}

// UTF-8 of text that holds only characters XML 1.0 allows (all the writers give):
// the bytes the toolkit's facet writes, without a virtual call per character.
// False, with `out` unchanged, when the text holds anything else.
bool AppendUtf8(std::string& out, const wchar_t* text, std::size_t size) {
  const std::size_t start = out.size();
  out.reserve(start + size + size / 2);
  char chunk[512];
  char* p = chunk;
  for (const wchar_t *s = text, *e = text + size; s < e; ++s) {
    if (p > chunk + sizeof chunk - 32) {
      out.append(chunk, static_cast<std::size_t>(p - chunk));
      p = chunk;
    }
    // Eight ASCII characters at a time, the common case, without a branch each;
    // room stays for one character of four bytes after them.
    // All eight are read before any byte is stored: a byte store may alias the text.
    while (e - s >= 8 && p + 8 <= chunk + sizeof chunk - 4) {
      std::uint32_t c[8];
      std::uint32_t any = 0;
      for (int k = 0; k < 8; ++k) any |= c[k] = static_cast<std::uint32_t>(s[k]);
      if (any >= 0x80) break;
      for (int k = 0; k < 8; ++k) p[k] = static_cast<char>(c[k]);
      p += 8;
      s += 8;
    }
    if (s == e) break;
    const auto c = static_cast<std::uint32_t>(*s);
    if (c < 0x80) {
      *p++ = static_cast<char>(c);
    } else if (IsXmlChar(*s)) {
      p = EncodeUtf8(c, p);
    } else {
      out.resize(start);
      return false;
    }
  }
  out.append(chunk, static_cast<std::size_t>(p - chunk));
  return true;
}

// Converts through `facet`; throws when a character cannot be converted.
void AppendConverted(std::string& out, const wchar_t* text, std::size_t size, const Facet& facet) {
  // Room for the longest sequence the facet may write (six bytes in UTF-8 as the
  // toolkit writes it), whatever the facet claims.
  const std::size_t longest = static_cast<std::size_t>(std::max(facet.max_length(), 6));
  std::string buffer(size * longest + 1, '\0');
  std::mbstate_t state{};
  const wchar_t* from_next = nullptr;
  char* to_next = nullptr;
  Facet::result r = facet.out(state, text, text + size, from_next, &buffer[0],
                              &buffer[0] + buffer.size(), to_next);
  if (r == Facet::noconv) {
    throw CCmlException(L"Writing to byte stream", L"The stream's locale does not convert",
                        qel::status::CML_OUTPUT_CONVERSION);
  }
  if (r != Facet::ok || from_next != text + size) {
    throw CCmlException(L"Writing to byte stream",
                        L"A character cannot be converted by the stream's locale",
                        qel::status::CML_OUTPUT_CONVERSION);
  }
  out.append(buffer.data(), static_cast<std::size_t>(to_next - buffer.data()));
}
}  // namespace

CCmlOutput::CCmlOutput(std::wostream& os) : m_kind(WideKind(os)), m_wide(&os) {}
CCmlOutput::CCmlOutput(std::ostream& os) : m_kind(Kind::Bytes), m_bytes(&os) {}
CCmlOutput::CCmlOutput(std::string& utf8) : m_kind(Kind::Bytes), m_utf8(&utf8) {}
CCmlOutput::~CCmlOutput() = default;

void CCmlOutput::Grow(std::size_t more) {
  const std::size_t capacity = std::max({kInitialCapacity, 2 * m_capacity, m_size + more});
  std::unique_ptr<wchar_t[]> text(new wchar_t[capacity]);
  std::copy(m_text.get(), m_text.get() + m_size, text.get());
  m_text = std::move(text);
  m_capacity = capacity;
}

void CCmlOutput::Erase(std::size_t pos, std::size_t count) {
  std::copy(m_text.get() + pos + count, m_text.get() + m_size, m_text.get() + pos);
  m_size -= count;
}

void CCmlOutput::Escaped(const std::wstring& text, bool attribute) {
  AppendEscaped(*this, text.data(), text.data() + text.size(), attribute);
}

void CCmlOutput::CharacterData(const std::wstring& text) {
  AppendCharacterData(*this, text.data(), text.data() + text.size());
}

void CCmlOutput::Indent(unsigned level) {
  const std::size_t count = static_cast<std::size_t>(level) * GetIndentWidth();
  if (count > m_capacity - m_size) Grow(count);
  std::fill(m_text.get() + m_size, m_text.get() + m_size + count, L' ');
  m_size += count;
}

std::wostream& CCmlOutput::WideStream() {
  if (!m_wideStream) m_wideStream.emplace(*this);
  return *m_wideStream;
}

std::ostream& CCmlOutput::ByteStream() {
  if (!m_byteStream) m_byteStream.emplace(*this);
  return *m_byteStream;
}

void CCmlOutput::Finish() {
  if (m_utf8 != nullptr) {
    if (!AppendUtf8(*m_utf8, m_text.get(), m_size)) {
      AppendConverted(*m_utf8, m_text.get(), m_size, qelToolsLib::qelCodecvtInstance());
    }
  } else if (m_bytes != nullptr) {
    FlushBytes();
  } else {
    m_wide->write(m_text.get(), static_cast<std::streamsize>(m_size));
    if (!*m_wide) ThrowStreamFailed();
  }
  m_size = 0;
}

// A stream may fail while it takes the text (a full disk, no memory for its
// buffer); it then holds part of the text at most, and the caller is told.
void CCmlOutput::ThrowStreamFailed() {
  throw CCmlException(L"Writing to stream", L"The stream did not take the whole text",
                      qel::status::CML_OUTPUT_FAILED);
}

void CCmlOutput::FlushBytes() {
  if (m_size == 0) return;
  const Facet& facet = std::use_facet<Facet>(m_bytes->getloc());
  std::string bytes;
  if (!IsToolkitFacet(facet) || !AppendUtf8(bytes, m_text.get(), m_size)) {
    AppendConverted(bytes, m_text.get(), m_size, facet);
  }
  m_bytes->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!*m_bytes) ThrowStreamFailed();
}

CUtf8LocaleGuard::CUtf8LocaleGuard(std::ios_base& stream)
    : m_stream(stream), m_previous(stream.getloc()) {
  if (!IsToolkitFacet(std::use_facet<Facet>(m_previous))) {
    qelToolsLib::ImbueUtf8(stream);
    m_imbued = true;
  }
}

CUtf8LocaleGuard::~CUtf8LocaleGuard() {
  if (m_imbued) m_stream.imbue(m_previous);
}

std::wstring HexCode(std::uint32_t code) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  wchar_t buffer[11];
  wchar_t* p = buffer + 11;
  do {
    *--p = kDigits[code & 0xF];
    code >>= 4;
  } while (code != 0);
  *--p = L'x';
  *--p = L'0';
  return std::wstring(p, buffer + 11);
}

std::wstring Decimal(std::uint64_t value) { return std::to_wstring(value); }
std::wstring Decimal(std::int64_t value) { return std::to_wstring(value); }

const wchar_t* BoolText(bool value) { return value ? vocab::kTrue : vocab::kFalse; }

}  // namespace cml
}  // namespace qel
