#include "cml/cml_sax_error_handler.h"

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_sax_exception.h"

namespace qel {
namespace cml {

namespace {
[[noreturn]] void Report(const wchar_t* prefix, const xercesc::SAXParseException& e,
                         std::uint32_t code) {
  throw CCmlException(L"Parse operation", CCmlSAX_ParseException(e).Describe(prefix), code);
}
}  // namespace

void CCmlSaxErrorHandler::warning(const xercesc::SAXParseException& e) {
  Report(L"Warning", e, qel::status::CML_PARSE_WARNING);
}

void CCmlSaxErrorHandler::error(const xercesc::SAXParseException& e) {
  Report(L"Error", e, qel::status::CML_PARSE_ERROR);
}

void CCmlSaxErrorHandler::fatalError(const xercesc::SAXParseException& e) {
  Report(L"Fatal error", e, qel::status::CML_PARSE_FATAL);
}

}  // namespace cml
}  // namespace qel
