#include "cml/cml_output.h"

#include <algorithm>
#include <cwchar>
#include <fstream>
#include <ostream>
#include <sstream>

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_settings.h"
#include "cml/cml_vocabulary.h"
#include "cml/cml_xml_chars.h"
#include "qelToolsLib/qelStringConvert.h"

namespace qel {
namespace cml {

namespace {
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
}  // namespace

CCmlOutput::CCmlOutput(std::wostream& os) : m_kind(WideKind(os)), m_wide(&os) {}

CCmlOutput::CCmlOutput(std::ostream& os) : m_kind(Kind::Bytes), m_bytes(&os) {}

CCmlOutput::~CCmlOutput() = default;

// Everything is collected until Finish(): a write that fails part-way leaves the
// stream untouched.
CCmlOutput& CCmlOutput::operator<<(const std::wstring& text) {
  m_pending += text;
  return *this;
}

CCmlOutput& CCmlOutput::operator<<(const wchar_t* text) {
  if (text != nullptr) m_pending += text;
  return *this;
}

CCmlOutput& CCmlOutput::operator<<(wchar_t c) {
  m_pending.push_back(c);
  return *this;
}

void CCmlOutput::Escaped(const std::wstring& text, bool attribute) {
  AppendEscaped(m_pending, text, attribute);
}

void CCmlOutput::CharacterData(const std::wstring& text) { AppendCharacterData(m_pending, text); }

void CCmlOutput::Indent(unsigned level) {
  m_pending.append(static_cast<std::size_t>(level) * GetIndentWidth(), L' ');
}

void CCmlOutput::Finish() {
  if (m_bytes != nullptr) {
    FlushBytes();
    return;
  }
  m_wide->write(m_pending.data(), static_cast<std::streamsize>(m_pending.size()));
  m_pending.clear();
  if (!*m_wide) ThrowStreamFailed();
}

// A stream may fail while it takes the text (a full disk, no memory for its
// buffer); it then holds part of the text at most, and the caller is told.
void CCmlOutput::ThrowStreamFailed() {
  throw CCmlException(L"Writing to stream", L"The stream did not take the whole text",
                      qel::status::CML_OUTPUT_FAILED);
}

void CCmlOutput::FlushBytes() {
  using Facet = std::codecvt<wchar_t, char, std::mbstate_t>;
  if (m_pending.empty()) return;
  const Facet& facet = std::use_facet<Facet>(m_bytes->getloc());
  // Room for the longest sequence the facet may write (six bytes in UTF-8 as the
  // toolkit writes it), whatever the facet claims.
  const std::size_t longest = static_cast<std::size_t>(std::max(facet.max_length(), 6));
  std::string buffer(m_pending.size() * longest, '\0');
  std::mbstate_t state{};
  const wchar_t* from_next = nullptr;
  char* to_next = nullptr;
  Facet::result r = facet.out(state, m_pending.data(), m_pending.data() + m_pending.size(),
                              from_next, &buffer[0], &buffer[0] + buffer.size(), to_next);
  if (r == Facet::noconv) {
    throw CCmlException(L"Writing to byte stream", L"The stream's locale does not convert",
                        qel::status::CML_OUTPUT_CONVERSION);
  }
  if (r != Facet::ok || from_next != m_pending.data() + m_pending.size()) {
    throw CCmlException(L"Writing to byte stream",
                        L"A character cannot be converted by the stream's locale",
                        qel::status::CML_OUTPUT_CONVERSION);
  }
  m_bytes->write(buffer.data(), to_next - buffer.data());
  m_pending.clear();
  if (!*m_bytes) ThrowStreamFailed();
}

CUtf8LocaleGuard::CUtf8LocaleGuard(std::ios_base& stream)
    : m_stream(stream), m_previous(stream.getloc()) {
  qelToolsLib::ImbueUtf8(stream);
}

CUtf8LocaleGuard::~CUtf8LocaleGuard() { m_stream.imbue(m_previous); }

std::wstring HexCode(std::uint32_t code) {
  wchar_t buffer[16];
  std::swprintf(buffer, 16, L"0x%x", static_cast<unsigned>(code));
  return buffer;
}

std::wstring Decimal(std::uint64_t value) { return std::to_wstring(value); }
std::wstring Decimal(std::int64_t value) { return std::to_wstring(value); }

const wchar_t* BoolText(bool value) { return value ? vocab::kTrue : vocab::kFalse; }

}  // namespace cml
}  // namespace qel
