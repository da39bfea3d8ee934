#include "cml/cml_dom_attr.h"

#include "cml/cml_codes.h"
#include "cml/cml_dom_element.h"
#include "cml/cml_exception.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_Attr";
}

xercesc::DOMAttr* CCmlDOM_Attr::CheckType(xercesc::DOMNode* node, const char* op) {
  if (node == nullptr) return nullptr;
  if (node->getNodeType() != xercesc::DOMNode::ATTRIBUTE_NODE) {
    std::string operation = std::string(kCls) + "::" + op + "()";
    throw CCmlException(std::wstring(operation.begin(), operation.end()),
                        L"Wrong source node type", qel::status::CML_WRONG_NODE_TYPE);
  }
  return static_cast<xercesc::DOMAttr*>(node);
}

CCmlDOM_Attr::CCmlDOM_Attr() = default;
CCmlDOM_Attr::CCmlDOM_Attr(xercesc::DOMAttr* attr) : CCmlDOM_Node(attr) {}
CCmlDOM_Attr::CCmlDOM_Attr(const CCmlDOM_Node& node)
    : CCmlDOM_Node(CheckType(node.GetDOMNode(), "SetDOMAttr")) {}
CCmlDOM_Attr::CCmlDOM_Attr(const CCmlDOM_Attr& other) : CCmlDOM_Node(other) {}
CCmlDOM_Attr& CCmlDOM_Attr::operator=(const CCmlDOM_Attr& other) {
  CCmlDOM_Node::operator=(other);
  return *this;
}
CCmlDOM_Attr::~CCmlDOM_Attr() = default;

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

}  // namespace cml
}  // namespace qel
