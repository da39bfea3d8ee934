// CCmlDOM_Attr: the DOM wrapper for attributes (see CCmlDOM_Node for the rules).
#ifndef QEL_CML_DOM_ATTR_H
#define QEL_CML_DOM_ATTR_H

#include <string>

#include <xercesc/dom/DOMAttr.hpp>

#include "cml/cml_dom_node.h"
#include "cml/cml_dom_type_info.h"

namespace qel {
namespace cml {

class CCmlDOM_Element;

class CCmlDOM_Attr : public virtual CCmlDOM_Node {
 public:
  CCmlDOM_Attr();
  explicit CCmlDOM_Attr(xercesc::DOMAttr* attr, bool owner = false);
  explicit CCmlDOM_Attr(const CCmlDOM_Node& node);  // must be an attribute or null
  CCmlDOM_Attr(const CCmlDOM_Attr& other);
  CCmlDOM_Attr& operator=(const CCmlDOM_Attr& other);
  ~CCmlDOM_Attr() override;

  xercesc::DOMAttr* GetDOMAttr() const;
  void SetDOMAttr(xercesc::DOMNode* node);
  std::wstring getName() const;
  std::wstring getValue() const;
  void setValue(const std::wstring& value);
  // False when a schema default supplied the value.
  bool getSpecified() const;
  CCmlDOM_Element getOwnerElement() const;
  bool isId() const;
  CCmlDOM_TypeInfo getTypeInfo() const;

 private:
  xercesc::DOMAttr* Attr(const char* op) const;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_ATTR_H
