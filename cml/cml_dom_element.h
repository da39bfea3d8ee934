// CCmlDOM_Element: the DOM wrapper for elements (see CCmlDOM_Node for the rules).
// Binding it to a node that is not an element throws "Wrong source node type".
#ifndef QEL_CML_DOM_ELEMENT_H
#define QEL_CML_DOM_ELEMENT_H

#include <string>

#include <xercesc/dom/DOMElement.hpp>

#include "cml/cml_dom_node.h"
#include "cml/cml_dom_type_info.h"

namespace qel {
namespace cml {

class CCmlDOM_Attr;

class CCmlDOM_Element : public virtual CCmlDOM_Node {
 public:
  CCmlDOM_Element();
  explicit CCmlDOM_Element(xercesc::DOMElement* element, bool owner = false);
  // Takes the node of `node`, which must be an element or null.
  explicit CCmlDOM_Element(const CCmlDOM_Node& node);
  CCmlDOM_Element(const CCmlDOM_Element& other);
  CCmlDOM_Element& operator=(const CCmlDOM_Element& other);
  ~CCmlDOM_Element() override;

  xercesc::DOMElement* GetDOMElement() const;
  void SetDOMElement(xercesc::DOMNode* node);

  // Absent attributes read as empty text.
  std::wstring getAttribute(const std::wstring& name) const;
  std::wstring getAttributeNS(const std::wstring& uri, const std::wstring& localName) const;
  CCmlDOM_Attr getAttributeNode(const std::wstring& name) const;
  CCmlDOM_Attr getAttributeNodeNS(const std::wstring& uri, const std::wstring& localName) const;
  CCmlDOM_NodeList getElementsByTagName(const std::wstring& name) const;
  CCmlDOM_NodeList getElementsByTagNameNS(const std::wstring& uri,
                                          const std::wstring& localName) const;
  std::wstring getTagName() const;
  CCmlDOM_TypeInfo getTypeInfo() const;
  bool hasAttribute(const std::wstring& name) const;
  bool hasAttributeNS(const std::wstring& uri, const std::wstring& localName) const;
  void removeAttribute(const std::wstring& name);
  void removeAttributeNS(const std::wstring& uri, const std::wstring& localName);
  // Returns the removed attribute (still kept by its document).
  CCmlDOM_Attr removeAttributeNode(const CCmlDOM_Attr& attr);
  void setAttribute(const std::wstring& name, const std::wstring& value);
  void setAttributeNS(const std::wstring& uri, const std::wstring& qualifiedName,
                      const std::wstring& value);
  // Return the attribute replaced by `attr` (null when none).
  CCmlDOM_Attr setAttributeNode(const CCmlDOM_Attr& attr);
  CCmlDOM_Attr setAttributeNodeNS(const CCmlDOM_Attr& attr);
  void setIdAttribute(const std::wstring& name, bool isId);
  void setIdAttributeNS(const std::wstring& uri, const std::wstring& localName, bool isId);
  void setIdAttributeNode(const CCmlDOM_Attr& attr, bool isId);

 private:
  xercesc::DOMElement* Element(const char* op) const;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_ELEMENT_H
