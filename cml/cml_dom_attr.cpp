#include "cml/cml_dom_attr.h"

#include "cml/cml_codes.h"
#include "cml/cml_dom_element.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_exception.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_Attr";

xercesc::DOMNode* CheckType(xercesc::DOMNode* node, const char* op) {
  return CheckNodeType(node, {xercesc::DOMNode::ATTRIBUTE_NODE}, kCls, op);
}
}  // namespace

CCmlDOM_Attr::CCmlDOM_Attr() = default;
CCmlDOM_Attr::CCmlDOM_Attr(xercesc::DOMAttr* attr, bool owner) : CCmlDOM_Node(attr, owner) {}
CCmlDOM_Attr::CCmlDOM_Attr(const CCmlDOM_Node& node)
    : CCmlDOM_Node(CheckType(node.GetDOMNode(), "SetDOMAttr")) {}
CCmlDOM_Attr::CCmlDOM_Attr(const CCmlDOM_Attr& other) : CCmlDOM_Node(other) {}
CCmlDOM_Attr& CCmlDOM_Attr::operator=(const CCmlDOM_Attr& other) {
  CCmlDOM_Node::operator=(other);
  return *this;
}
CCmlDOM_Attr::~CCmlDOM_Attr() = default;

xercesc::DOMAttr* CCmlDOM_Attr::GetDOMAttr() const {
  return static_cast<xercesc::DOMAttr*>(GetDOMNode());
}

void CCmlDOM_Attr::SetDOMAttr(xercesc::DOMNode* node) { SetDOMNode(CheckType(node, "SetDOMAttr")); }

xercesc::DOMAttr* CCmlDOM_Attr::Attr(const char* op) const {
  return static_cast<xercesc::DOMAttr*>(Checked(kCls, op));
}

std::wstring CCmlDOM_Attr::getName() const { return FromXml(Attr("getName")->getName()); }
std::wstring CCmlDOM_Attr::getValue() const { return FromXml(Attr("getValue")->getValue()); }
void CCmlDOM_Attr::setValue(const std::wstring& value) {
  Attr("setValue")->setValue(ToXml(value).c_str());
}
bool CCmlDOM_Attr::getSpecified() const { return Attr("getSpecified")->getSpecified(); }
CCmlDOM_Element CCmlDOM_Attr::getOwnerElement() const {
  return CCmlDOM_Element(Attr("getOwnerElement")->getOwnerElement());
}
bool CCmlDOM_Attr::isId() const { return Attr("isId")->isId(); }
CCmlDOM_TypeInfo CCmlDOM_Attr::getTypeInfo() const {
  return CCmlDOM_TypeInfo(Attr("getTypeInfo")->getSchemaTypeInfo());
}

}  // namespace cml
}  // namespace qel
