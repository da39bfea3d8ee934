#include "cml/cml_exception.h"

#include <cwchar>
#include <ios>
#include <ostream>
#include <sstream>

namespace qel {
namespace cml {

std::wstring WidenLocale(const std::string& text) {
  std::wstring out;
  std::mbstate_t state{};
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    wchar_t wc = 0;
    std::size_t n = std::mbrtowc(&wc, p, static_cast<std::size_t>(end - p), &state);
    if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
      out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
      state = std::mbstate_t{};
      ++p;
      continue;
    }
    out.push_back(wc);
    p += (n == 0) ? 1 : n;
  }
  return out;
}

CCmlException::CCmlException(std::wstring operation, std::wstring text, std::uint32_t code)
    : m_operation(std::move(operation)), m_text(std::move(text)), m_code(code) {}

CCmlException::CCmlException(const std::string& operation, const std::string& text,
                             std::uint32_t code)
    : m_operation(WidenLocale(operation)), m_text(WidenLocale(text)), m_code(code) {}

CCmlException::CCmlException(const char* operation, const char* text, std::uint32_t code)
    : CCmlException(std::string(operation ? operation : ""), std::string(text ? text : ""),
                    code) {}

CCmlException::~CCmlException() = default;

const std::wstring& CCmlException::GetOperation() const { return m_operation; }
const std::wstring& CCmlException::GetText() const { return m_text; }
std::uint32_t CCmlException::GetCode() const { return m_code; }

std::wstring CCmlException::Format() const {
  std::wostringstream os;
  os << m_operation << L":  " << m_text << L"; error = 0x" << std::hex << std::nouppercase
     << m_code;
  return os.str();
}

std::wostream& operator<<(std::wostream& os, const CCmlException& e) {
  std::ios_base::fmtflags flags = os.flags();
  os << e.Format();
  os.flags(flags);
  return os;
}

}  // namespace cml
}  // namespace qel
