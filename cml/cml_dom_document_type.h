// CCmlDOM_DocumentType: the DOM wrapper for document types (see CCmlDOM_Node for the rules).
// Binding it to another node type throws "Wrong source node type".
#ifndef QEL_CML_DOM_DOCUMENT_TYPE_H
#define QEL_CML_DOM_DOCUMENT_TYPE_H

#include <string>

#include <xercesc/dom/DOMDocumentType.hpp>

#include "cml/cml_dom_named_node_map.h"
#include "cml/cml_dom_node.h"

namespace qel {
namespace cml {

class CCmlDOM_DocumentType : public virtual CCmlDOM_Node {
 public:
  CCmlDOM_DocumentType() = default;
  explicit CCmlDOM_DocumentType(const CCmlDOM_Node& node);  // of this type, or null

  void SetDOMDocumentType(xercesc::DOMNode* node);
  std::wstring getName() const;
  CCmlDOM_NamedNodeMap getEntities() const;
  CCmlDOM_NamedNodeMap getNotations() const;
  std::wstring getPublicId() const;
  std::wstring getSystemId() const;
  std::wstring getInternalSubset() const;

 private:
  xercesc::DOMDocumentType* Typed(const char* op) const;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_DOCUMENT_TYPE_H
