// CCmlDOM_Entity: the DOM wrapper for entities (see CCmlDOM_Node for the rules).
// Binding it to another node type throws "Wrong source node type".
// Xerces-C 3 keeps an entity's encodings and version read-only, so the wrapper
// has no setters for them.
#ifndef QEL_CML_DOM_ENTITY_H
#define QEL_CML_DOM_ENTITY_H

#include <string>

#include <xercesc/dom/DOMEntity.hpp>

#include "cml/cml_dom_node.h"

namespace qel {
namespace cml {

class CCmlDOM_Entity : public virtual CCmlDOM_Node {
 public:
  CCmlDOM_Entity() = default;
  explicit CCmlDOM_Entity(const CCmlDOM_Node& node);  // of this type, or null

  void SetDOMEntity(xercesc::DOMNode* node);
  std::wstring getPublicId() const;
  std::wstring getSystemId() const;
  std::wstring getNotationName() const;
  std::wstring getEncoding() const;
  std::wstring getActualEncoding() const;
  std::wstring getVersion() const;

 private:
  xercesc::DOMEntity* Typed(const char* op) const;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_ENTITY_H
