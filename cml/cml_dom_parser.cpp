#include "cml/cml_dom_parser.h"

#include <xercesc/internal/XMLScanner.hpp>

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_settings.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

CCmlDOMParser::CCmlDOMParser() { Harden(); }

CCmlDOMParser::~CCmlDOMParser() = default;

void CCmlDOMParser::Harden() {
  m_security.setEntityExpansionLimit(kEntityExpansionLimit);
  setSecurityManager(&m_security);
  setDisableDefaultEntityResolution(true);
  setLoadExternalDTD(false);
  setCreateEntityReferenceNodes(false);
  setHandleMultipleImports(true);
  getScanner()->setDisallowDTD(true);
}

CCmlDOM_Document CCmlDOMParser::getDocument() {
  return CCmlDOM_Document(xercesc::XercesDOMParser::getDocument());
}

void CCmlDOMParser::setExternalSchemaLocation(const std::wstring& location) {
  setExternalSchemaLocation(ToXml(location).c_str());
}

void CCmlDOMParser::doctypeDecl(const xercesc::DTDElementDecl&, const XMLCh* const,
                                const XMLCh* const, const bool, const bool) {
  throw CCmlException(L"Parse operation", L"DOCTYPE declarations are not accepted",
                      qel::status::CML_DOCTYPE_REFUSED);
}

}  // namespace cml
}  // namespace qel
