#include "cml/cml_dom_element.h"

#include "cml/cml_codes.h"
#include "cml/cml_dom_attr.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_dom_node_list.h"
#include "cml/cml_exception.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_Element";

xercesc::DOMNode* CheckType(xercesc::DOMNode* node, const char* op) {
  return CheckNodeType(node, {xercesc::DOMNode::ELEMENT_NODE}, kCls, op);
}
}  // namespace

CCmlDOM_Element::CCmlDOM_Element() = default;

CCmlDOM_Element::CCmlDOM_Element(xercesc::DOMElement* element, bool owner)
    : CCmlDOM_Node(element, owner) {}

CCmlDOM_Element::CCmlDOM_Element(const CCmlDOM_Node& node)
    : CCmlDOM_Node(CheckType(node.GetDOMNode(), "SetDOMElement")) {}

CCmlDOM_Element::CCmlDOM_Element(const CCmlDOM_Element& other) : CCmlDOM_Node(other) {}

CCmlDOM_Element& CCmlDOM_Element::operator=(const CCmlDOM_Element& other) {
  CCmlDOM_Node::operator=(other);
  return *this;
}

CCmlDOM_Element::~CCmlDOM_Element() = default;

xercesc::DOMElement* CCmlDOM_Element::GetDOMElement() const {
  return static_cast<xercesc::DOMElement*>(GetDOMNode());
}

void CCmlDOM_Element::SetDOMElement(xercesc::DOMNode* node) {
  SetDOMNode(CheckType(node, "SetDOMElement"));
}

xercesc::DOMElement* CCmlDOM_Element::Element(const char* op) const {
  return static_cast<xercesc::DOMElement*>(Checked(kCls, op));
}

std::wstring CCmlDOM_Element::getAttribute(const std::wstring& name) const {
  return FromXml(Element("getAttribute")->getAttribute(ToXml(name).c_str()));
}
std::wstring CCmlDOM_Element::getAttributeNS(const std::wstring& uri,
                                             const std::wstring& localName) const {
  return FromXml(
      Element("getAttributeNS")->getAttributeNS(ToXml(uri).c_str(), ToXml(localName).c_str()));
}
CCmlDOM_Attr CCmlDOM_Element::getAttributeNode(const std::wstring& name) const {
  return CCmlDOM_Attr(Element("getAttributeNode")->getAttributeNode(ToXml(name).c_str()));
}
CCmlDOM_Attr CCmlDOM_Element::getAttributeNodeNS(const std::wstring& uri,
                                                 const std::wstring& localName) const {
  return CCmlDOM_Attr(Element("getAttributeNodeNS")
                          ->getAttributeNodeNS(ToXml(uri).c_str(), ToXml(localName).c_str()));
}
CCmlDOM_TypeInfo CCmlDOM_Element::getTypeInfo() const {
  return CCmlDOM_TypeInfo(Element("getTypeInfo")->getSchemaTypeInfo());
}
CCmlDOM_Attr CCmlDOM_Element::removeAttributeNode(const CCmlDOM_Attr& attr) {
  return CCmlDOM_Attr(Element("removeAttributeNode")->removeAttributeNode(attr.GetDOMAttr()));
}
CCmlDOM_Attr CCmlDOM_Element::setAttributeNode(const CCmlDOM_Attr& attr) {
  return CCmlDOM_Attr(Element("setAttributeNode")->setAttributeNode(attr.GetDOMAttr()));
}
CCmlDOM_Attr CCmlDOM_Element::setAttributeNodeNS(const CCmlDOM_Attr& attr) {
  return CCmlDOM_Attr(Element("setAttributeNodeNS")->setAttributeNodeNS(attr.GetDOMAttr()));
}
void CCmlDOM_Element::setIdAttribute(const std::wstring& name, bool isId) {
  Element("setIdAttribute")->setIdAttribute(ToXml(name).c_str(), isId);
}
void CCmlDOM_Element::setIdAttributeNS(const std::wstring& uri, const std::wstring& localName,
                                       bool isId) {
  Element("setIdAttributeNS")->setIdAttributeNS(ToXml(uri).c_str(), ToXml(localName).c_str(), isId);
}
void CCmlDOM_Element::setIdAttributeNode(const CCmlDOM_Attr& attr, bool isId) {
  Element("setIdAttributeNode")->setIdAttributeNode(attr.GetDOMAttr(), isId);
}
CCmlDOM_NodeList CCmlDOM_Element::getElementsByTagName(const std::wstring& name) const {
  return CCmlDOM_NodeList(
      Element("getElementsByTagName")->getElementsByTagName(ToXml(name).c_str()));
}
CCmlDOM_NodeList CCmlDOM_Element::getElementsByTagNameNS(const std::wstring& uri,
                                                         const std::wstring& localName) const {
  return CCmlDOM_NodeList(Element("getElementsByTagNameNS")
                              ->getElementsByTagNameNS(ToXml(uri).c_str(),
                                                       ToXml(localName).c_str()));
}
std::wstring CCmlDOM_Element::getTagName() const {
  return FromXml(Element("getTagName")->getTagName());
}
bool CCmlDOM_Element::hasAttribute(const std::wstring& name) const {
  return Element("hasAttribute")->hasAttribute(ToXml(name).c_str());
}
bool CCmlDOM_Element::hasAttributeNS(const std::wstring& uri,
                                     const std::wstring& localName) const {
  return Element("hasAttributeNS")->hasAttributeNS(ToXml(uri).c_str(), ToXml(localName).c_str());
}
void CCmlDOM_Element::removeAttribute(const std::wstring& name) {
  Element("removeAttribute")->removeAttribute(ToXml(name).c_str());
}
void CCmlDOM_Element::removeAttributeNS(const std::wstring& uri, const std::wstring& localName) {
  Element("removeAttributeNS")->removeAttributeNS(ToXml(uri).c_str(), ToXml(localName).c_str());
}
void CCmlDOM_Element::setAttribute(const std::wstring& name, const std::wstring& value) {
  Element("setAttribute")->setAttribute(ToXml(name).c_str(), ToXml(value).c_str());
}
void CCmlDOM_Element::setAttributeNS(const std::wstring& uri, const std::wstring& qualifiedName,
                                     const std::wstring& value) {
  Element("setAttributeNS")
      ->setAttributeNS(ToXml(uri).c_str(), ToXml(qualifiedName).c_str(), ToXml(value).c_str());
}

}  // namespace cml
}  // namespace qel
