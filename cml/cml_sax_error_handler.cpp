#include "cml/cml_sax_error_handler.h"

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

std::wstring CCmlSaxErrorHandler::Describe(const wchar_t* prefix,
                                           const xercesc::SAXParseException& e) {
  return std::wstring(prefix) + L" parsing input \"" + FromXml(e.getSystemId()) + L"\", line " +
         std::to_wstring(e.getLineNumber()) + L", column " +
         std::to_wstring(e.getColumnNumber()) + L"\n   Message: " + FromXml(e.getMessage());
}

void CCmlSaxErrorHandler::warning(const xercesc::SAXParseException& e) {
  throw CCmlException(L"Parse operation", Describe(L"Warning", e),
                      qel::status::CML_PARSE_WARNING);
}

void CCmlSaxErrorHandler::error(const xercesc::SAXParseException& e) {
  throw CCmlException(L"Parse operation", Describe(L"Error", e), qel::status::CML_PARSE_ERROR);
}

void CCmlSaxErrorHandler::fatalError(const xercesc::SAXParseException& e) {
  throw CCmlException(L"Parse operation", Describe(L"Fatal error", e),
                      qel::status::CML_PARSE_FATAL);
}

}  // namespace cml
}  // namespace qel
