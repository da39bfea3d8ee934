// CCmlDOM_EntityReference: the DOM wrapper for entity references (see CCmlDOM_Node for the rules).
// Binding it to another node type throws "Wrong source node type".
#ifndef QEL_CML_DOM_ENTITY_REFERENCE_H
#define QEL_CML_DOM_ENTITY_REFERENCE_H

#include <string>

#include <xercesc/dom/DOMEntityReference.hpp>

#include "cml/cml_dom_node.h"

namespace qel {
namespace cml {

class CCmlDOM_EntityReference : public virtual CCmlDOM_Node {
 public:
  CCmlDOM_EntityReference() = default;
  explicit CCmlDOM_EntityReference(const CCmlDOM_Node& node);  // of this type, or null

  void SetDOMEntityReference(xercesc::DOMNode* node);
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_ENTITY_REFERENCE_H
