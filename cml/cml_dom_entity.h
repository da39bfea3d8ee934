// CCmlDOM_Entity: the DOM wrapper for entities (see CCmlDOM_Node for the rules).
// Binding it to another node type throws "Wrong source node type".
// Xerces-C 3 offers an entity's encodings and version read-only; the setters reach
// them through Xerces' own entity implementation (DOMEntityImpl), which keeps a copy
// of the text. An entity of another implementation gives DOMException
// NOT_SUPPORTED_ERR.
#ifndef QEL_CML_DOM_ENTITY_H
#define QEL_CML_DOM_ENTITY_H

#include <string>

#include <xercesc/dom/DOMEntity.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMEntityImpl;
XERCES_CPP_NAMESPACE_END

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
  // The encoding declared in the entity's text declaration.
  std::wstring getEncoding() const;
  void setEncoding(const std::wstring& encoding);
  // The encoding the entity was read in.
  std::wstring getActualEncoding() const;
  void setActualEncoding(const std::wstring& encoding);
  // The XML version of the entity's text declaration.
  std::wstring getVersion() const;
  void setVersion(const std::wstring& version);

 private:
  xercesc::DOMEntity* Typed(const char* op) const;
  // Xerces' entity implementation of the wrapped node (DOMException when it is none).
  xercesc::DOMEntityImpl* Impl(const char* op) const;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_ENTITY_H
