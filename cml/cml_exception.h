// CCmlException: the one exception type of the CML library. Every failure inside the
// library, including DOM and XML parser errors, reaches the caller as one of these.
// A plain value (thrown by value, caught by reference); any thread may use its own copy.
#ifndef QEL_CML_EXCEPTION_H
#define QEL_CML_EXCEPTION_H

#include <cstdint>
#include <iosfwd>
#include <string>

namespace qel {
namespace cml {

class CCmlException {
 public:
  CCmlException(std::wstring operation, std::wstring text, std::uint32_t code);
  // Narrow texts are widened with the multibyte conversion of the current locale.
  CCmlException(const std::string& operation, const std::string& text, std::uint32_t code);
  CCmlException(const char* operation, const char* text, std::uint32_t code);
  CCmlException(const CCmlException&) = default;
  CCmlException& operator=(const CCmlException&) = default;
  virtual ~CCmlException();

  virtual const std::wstring& GetOperation() const;
  virtual const std::wstring& GetText() const;
  virtual std::uint32_t GetCode() const;
  // "<operation>:  <text>; error = 0x<code in lower-case hex>"
  virtual std::wstring Format() const;

 private:
  std::wstring m_operation;
  std::wstring m_text;
  std::uint32_t m_code;
};

// Writes Format(); the stream's format flags are restored afterwards.
std::wostream& operator<<(std::wostream& os, const CCmlException& e);

// Widens a narrow text with the current locale; bytes it cannot convert are taken
// one by one as Latin-1 so that no text is lost.
std::wstring WidenLocale(const std::string& text);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_EXCEPTION_H
