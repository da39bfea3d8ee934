#include "cml/cml_sax_exception.h"

#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

CCmlSAX_Exception::CCmlSAX_Exception(const xercesc::SAXException& e)
    : m_message(FromXml(e.getMessage())) {}
CCmlSAX_Exception::~CCmlSAX_Exception() = default;

CCmlSAX_ParseException::CCmlSAX_ParseException(const xercesc::SAXParseException& e)
    : CCmlSAX_Exception(e), m_systemId(FromXml(e.getSystemId())),
      m_publicId(FromXml(e.getPublicId())), m_line(e.getLineNumber()),
      m_column(e.getColumnNumber()) {}
CCmlSAX_ParseException::~CCmlSAX_ParseException() = default;

std::wstring CCmlSAX_ParseException::Describe(const wchar_t* prefix) const {
  return std::wstring(prefix) + L" parsing input \"" + m_systemId + L"\", line " +
         std::to_wstring(m_line) + L", column " + std::to_wstring(m_column) + L"\n   Message: " +
         GetMessage();
}

}  // namespace cml
}  // namespace qel
