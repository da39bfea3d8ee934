#include "cml/cml_dom_node.h"

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMException.hpp>

#include "cml/cml_dom_document.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_dom_named_node_map.h"
#include "cml/cml_dom_node_list.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_Node";
}

CCmlDOM_Node::CCmlDOM_Node() = default;

CCmlDOM_Node::CCmlDOM_Node(xercesc::DOMNode* node, bool owner) : m_node(node), m_owner(owner) {}

CCmlDOM_Node::CCmlDOM_Node(const CCmlDOM_Node& other)
    : m_node(other.m_node), m_owner(other.m_owner) {
  other.m_owner = false;
}

CCmlDOM_Node& CCmlDOM_Node::operator=(const CCmlDOM_Node& other) {
  if (this != &other) {
    // Two wrappers of one node: whoever owned it, the target owns it afterwards.
    const bool owner = other.m_owner || (m_owner && m_node == other.m_node);
    other.m_owner = false;
    if (m_node != other.m_node) ReleaseOwned();
    m_node = other.m_node;
    m_owner = owner;
    OnNodeReplaced();
  }
  return *this;
}

CCmlDOM_Node::~CCmlDOM_Node() { ReleaseOwned(); }

void CCmlDOM_Node::ReleaseOwned() {
  if (m_owner && m_node != nullptr) {
    m_owner = false;
    xercesc::DOMNode* node = m_node;
    m_node = nullptr;
    try {
      node->release();
    } catch (const xercesc::DOMException&) {
      // A node still attached to a tree belongs to its document, which releases it.
    }
  }
  m_owner = false;
}

void CCmlDOM_Node::Bind(xercesc::DOMNode* node, bool owner) {
  if (node == m_node) owner = owner || m_owner;  // rebinding keeps what it owned
  if (node != m_node) ReleaseOwned();
  m_node = node;
  m_owner = owner;
}

void CCmlDOM_Node::SetDOMNode(xercesc::DOMNode* node) {
  Bind(node, false);
  OnNodeReplaced();
}

xercesc::DOMNode* CCmlDOM_Node::Checked(const char* cls, const char* op) const {
  if (m_node == nullptr) ThrowDomNull(cls, op, L"The node is NULL");
  return m_node;
}

CCmlDOM_Node CCmlDOM_Node::appendChild(const CCmlDOM_Node& child) {
  return CCmlDOM_Node(Checked(kCls, "appendChild")->appendChild(child.GetDOMNode()));
}
CCmlDOM_Node CCmlDOM_Node::cloneNode(bool deep) const {
  return CCmlDOM_Node(Checked(kCls, "cloneNode")->cloneNode(deep));
}
short CCmlDOM_Node::compareTreePosition(const CCmlDOM_Node& other) const {
  return Checked(kCls, "compareTreePosition")->compareDocumentPosition(other.GetDOMNode());
}
void* CCmlDOM_Node::getInterface(const std::wstring& feature, const std::wstring& version) const {
  return Checked(kCls, "getInterface")->getFeature(ToXml(feature).c_str(), ToXml(version).c_str());
}
void* CCmlDOM_Node::getUserData(const std::wstring& key) const {
  return Checked(kCls, "getUserData")->getUserData(ToXml(key).c_str());
}
bool CCmlDOM_Node::isSupported(const std::wstring& feature, const std::wstring& version) const {
  return Checked(kCls, "isSupported")->isSupported(ToXml(feature).c_str(), ToXml(version).c_str());
}
void* CCmlDOM_Node::setUserData(const std::wstring& key, void* data,
                                xercesc::DOMUserDataHandler* handler) {
  return Checked(kCls, "setUserData")->setUserData(ToXml(key).c_str(), data, handler);
}
CCmlDOM_NamedNodeMap CCmlDOM_Node::getAttributes() const {
  return CCmlDOM_NamedNodeMap(Checked(kCls, "getAttributes")->getAttributes());
}
std::wstring CCmlDOM_Node::getBaseURI() const {
  return FromXml(Checked(kCls, "getBaseURI")->getBaseURI());
}
CCmlDOM_NodeList CCmlDOM_Node::getChildNodes() const {
  return CCmlDOM_NodeList(Checked(kCls, "getChildNodes")->getChildNodes());
}
CCmlDOM_Node CCmlDOM_Node::getFirstChild() const {
  return CCmlDOM_Node(Checked(kCls, "getFirstChild")->getFirstChild());
}
CCmlDOM_Node CCmlDOM_Node::getLastChild() const {
  return CCmlDOM_Node(Checked(kCls, "getLastChild")->getLastChild());
}
std::wstring CCmlDOM_Node::getLocalName() const {
  return FromXml(Checked(kCls, "getLocalName")->getLocalName());
}
std::wstring CCmlDOM_Node::getNamespaceURI() const {
  return FromXml(Checked(kCls, "getNamespaceURI")->getNamespaceURI());
}
CCmlDOM_Node CCmlDOM_Node::getNextSibling() const {
  return CCmlDOM_Node(Checked(kCls, "getNextSibling")->getNextSibling());
}
std::wstring CCmlDOM_Node::getNodeName() const {
  return FromXml(Checked(kCls, "getNodeName")->getNodeName());
}
short CCmlDOM_Node::getNodeType() const {
  return static_cast<short>(Checked(kCls, "getNodeType")->getNodeType());
}
std::wstring CCmlDOM_Node::getNodeValue() const {
  return FromXml(Checked(kCls, "getNodeValue")->getNodeValue());
}
CCmlDOM_Document CCmlDOM_Node::getOwnerDocument() const {
  return CCmlDOM_Document(Checked(kCls, "getOwnerDocument")->getOwnerDocument());
}
CCmlDOM_Node CCmlDOM_Node::getParentNode() const {
  return CCmlDOM_Node(Checked(kCls, "getParentNode")->getParentNode());
}
std::wstring CCmlDOM_Node::getPrefix() const {
  return FromXml(Checked(kCls, "getPrefix")->getPrefix());
}
CCmlDOM_Node CCmlDOM_Node::getPreviousSibling() const {
  return CCmlDOM_Node(Checked(kCls, "getPreviousSibling")->getPreviousSibling());
}
std::wstring CCmlDOM_Node::getTextContent() const {
  return FromXml(Checked(kCls, "getTextContent")->getTextContent());
}
bool CCmlDOM_Node::hasAttributes() const { return Checked(kCls, "hasAttributes")->hasAttributes(); }
bool CCmlDOM_Node::hasChildNodes() const { return Checked(kCls, "hasChildNodes")->hasChildNodes(); }

CCmlDOM_Node CCmlDOM_Node::insertBefore(const CCmlDOM_Node& newChild,
                                        const CCmlDOM_Node& refChild) {
  return CCmlDOM_Node(
      Checked(kCls, "insertBefore")->insertBefore(newChild.GetDOMNode(), refChild.GetDOMNode()));
}
bool CCmlDOM_Node::isDefaultNamespace(const std::wstring& uri) const {
  return Checked(kCls, "isDefaultNamespace")->isDefaultNamespace(ToXml(uri).c_str());
}
bool CCmlDOM_Node::isEqualNode(const CCmlDOM_Node& other) const {
  return Checked(kCls, "isEqualNode")->isEqualNode(other.GetDOMNode());
}
bool CCmlDOM_Node::isSameNode(const CCmlDOM_Node& other) const {
  return Checked(kCls, "isSameNode")->isSameNode(other.GetDOMNode());
}
std::wstring CCmlDOM_Node::lookupNamespacePrefix(const std::wstring& uri, bool useDefault) const {
  xercesc::DOMNode* node = Checked(kCls, "lookupNamespacePrefix");
  const std::u16string u = ToXml(uri);
  if (useDefault && node->isDefaultNamespace(u.c_str())) return std::wstring();
  return FromXml(node->lookupPrefix(u.c_str()));
}
std::wstring CCmlDOM_Node::lookupNamespaceURI(const std::wstring& prefix) const {
  std::u16string p = ToXml(prefix);
  return FromXml(Checked(kCls, "lookupNamespaceURI")
                     ->lookupNamespaceURI(prefix.empty() ? nullptr : p.c_str()));
}
void CCmlDOM_Node::normalize() { Checked(kCls, "normalize")->normalize(); }

void CCmlDOM_Node::release() {
  Checked(kCls, "release");
  m_owner = true;
  ReleaseOwned();
  OnNodeReplaced();
}

CCmlDOM_Node CCmlDOM_Node::removeChild(const CCmlDOM_Node& oldChild) {
  return CCmlDOM_Node(Checked(kCls, "removeChild")->removeChild(oldChild.GetDOMNode()));
}
CCmlDOM_Node CCmlDOM_Node::replaceChild(const CCmlDOM_Node& newChild,
                                        const CCmlDOM_Node& oldChild) {
  return CCmlDOM_Node(
      Checked(kCls, "replaceChild")->replaceChild(newChild.GetDOMNode(), oldChild.GetDOMNode()));
}
void CCmlDOM_Node::setNodeValue(const std::wstring& value) {
  Checked(kCls, "setNodeValue")->setNodeValue(ToXml(value).c_str());
}
void CCmlDOM_Node::setPrefix(const std::wstring& prefix) {
  Checked(kCls, "setPrefix")->setPrefix(ToXml(prefix).c_str());
}
void CCmlDOM_Node::setTextContent(const std::wstring& text) {
  Checked(kCls, "setTextContent")->setTextContent(ToXml(text).c_str());
}

}  // namespace cml
}  // namespace qel
