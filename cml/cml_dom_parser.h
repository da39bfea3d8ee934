// CCmlDOMParser: the Xerces DOM parser with the CML hardening applied: no DOCTYPE
// (refused by the scanner and, as a second line, when the parser is told of one),
// no default entity resolution, an entity expansion limit, and wide-text forms of
// the calls the CML parser uses. Owned by one CCmlParser; one thread.
#ifndef QEL_CML_DOM_PARSER_H
#define QEL_CML_DOM_PARSER_H

#include <string>

#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/SecurityManager.hpp>

#include "cml/cml_dom_document.h"

namespace qel {
namespace cml {

class CCmlDOMParser : public xercesc::XercesDOMParser {
 public:
  CCmlDOMParser();
  ~CCmlDOMParser() override;

  // The parsed document as a wrapper (still owned by the parser); hides Xerces' form.
  CCmlDOM_Document getDocument();
  // Wide text, converted to UTF-16; Xerces' forms stay available.
  using xercesc::XercesDOMParser::setExternalSchemaLocation;
  void setExternalSchemaLocation(const std::wstring& location);
  // Applies the hardening again; the parser calls it before every parse.
  void Harden();

  void doctypeDecl(const xercesc::DTDElementDecl& elemDecl, const XMLCh* const publicId,
                   const XMLCh* const systemId, const bool hasIntSubset,
                   const bool hasExtSubset) override;

 private:
  xercesc::SecurityManager m_security;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_PARSER_H
