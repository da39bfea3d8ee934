// CCmlDOM_DocumentFragment: the DOM wrapper for document fragments (see CCmlDOM_Node for the
// rules). Binding it to another node type throws "Wrong source node type".
#ifndef QEL_CML_DOM_DOCUMENT_FRAGMENT_H
#define QEL_CML_DOM_DOCUMENT_FRAGMENT_H

#include <string>

#include <xercesc/dom/DOMDocumentFragment.hpp>

#include "cml/cml_dom_node.h"

namespace qel {
namespace cml {

class CCmlDOM_DocumentFragment : public virtual CCmlDOM_Node {
 public:
  CCmlDOM_DocumentFragment() = default;
  explicit CCmlDOM_DocumentFragment(const CCmlDOM_Node& node);  // of this type, or null

  void SetDOMDocumentFragment(xercesc::DOMNode* node);
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_DOCUMENT_FRAGMENT_H
