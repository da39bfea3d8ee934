// CCmlSAX_Exception and CCmlSAX_ParseException: copies of a Xerces SAXException and
// SAXParseException that keep what they report as wide text and numbers, so that the
// parser's error handler (and anyone else) can use them after Xerces' objects are
// gone. Plain values; any thread may use its own copy.
#ifndef QEL_CML_SAX_EXCEPTION_H
#define QEL_CML_SAX_EXCEPTION_H

#include <cstdint>
#include <string>

#include <xercesc/sax/SAXException.hpp>
#include <xercesc/sax/SAXParseException.hpp>

namespace qel {
namespace cml {

class CCmlSAX_Exception {
 public:
  explicit CCmlSAX_Exception(const xercesc::SAXException& e);
  virtual ~CCmlSAX_Exception();

  const std::wstring& GetMessage() const { return m_message; }

 private:
  std::wstring m_message;
};

class CCmlSAX_ParseException : public CCmlSAX_Exception {
 public:
  explicit CCmlSAX_ParseException(const xercesc::SAXParseException& e);
  ~CCmlSAX_ParseException() override;

  const std::wstring& GetSystemId() const { return m_systemId; }
  const std::wstring& GetPublicId() const { return m_publicId; }
  std::uint64_t GetLineNumber() const { return m_line; }
  std::uint64_t GetColumnNumber() const { return m_column; }
  // "<prefix> parsing input \"<system id>\", line L, column C\n   Message: <message>"
  std::wstring Describe(const wchar_t* prefix) const;

 private:
  std::wstring m_systemId;
  std::wstring m_publicId;
  std::uint64_t m_line;
  std::uint64_t m_column;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_SAX_EXCEPTION_H
