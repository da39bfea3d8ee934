// CCmlDOM_Notation: the DOM wrapper for notations (see CCmlDOM_Node for the rules).
// Binding it to another node type throws "Wrong source node type".
#ifndef QEL_CML_DOM_NOTATION_H
#define QEL_CML_DOM_NOTATION_H

#include <string>

#include <xercesc/dom/DOMNotation.hpp>

#include "cml/cml_dom_node.h"

namespace qel {
namespace cml {

class CCmlDOM_Notation : public virtual CCmlDOM_Node {
 public:
  CCmlDOM_Notation() = default;
  explicit CCmlDOM_Notation(const CCmlDOM_Node& node);  // of this type, or null

  void SetDOMNotation(xercesc::DOMNode* node);
  std::wstring getPublicId() const;
  std::wstring getSystemId() const;

 private:
  xercesc::DOMNotation* Typed(const char* op) const;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_NOTATION_H
