// CCmlDOM_CDATASection: the DOM wrapper for CDATA sections (see CCmlDOM_Node and
// CCmlDOM_Text). Binding it to another node type throws "Wrong source node type".
#ifndef QEL_CML_DOM_CDATA_SECTION_H
#define QEL_CML_DOM_CDATA_SECTION_H

#include <xercesc/dom/DOMCDATASection.hpp>

#include "cml/cml_dom_text.h"

namespace qel {
namespace cml {

class CCmlDOM_CDATASection : public CCmlDOM_Text {
 public:
  CCmlDOM_CDATASection() = default;
  explicit CCmlDOM_CDATASection(const CCmlDOM_Node& node);  // a CDATA section or null
  void SetDOMCDATASection(xercesc::DOMNode* node);
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_CDATA_SECTION_H
