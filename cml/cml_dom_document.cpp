#include "cml/cml_dom_document.h"

#include <xercesc/dom/DOM.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>

#include "cml/cml_dom_element.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_dom_node.h"
#include "cml/cml_dom_node_list.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
constexpr const char* kCls = "CCmlDOM_Document";
}

CCmlDOM_Document::CCmlDOM_Document() = default;
CCmlDOM_Document::CCmlDOM_Document(xercesc::DOMDocument* document, bool owner)
    : m_document(document), m_owner(owner) {}

CCmlDOM_Document::CCmlDOM_Document(const CCmlDOM_Document& other)
    : m_document(other.m_document), m_owner(other.m_owner) {
  other.m_owner = false;
}

CCmlDOM_Document& CCmlDOM_Document::operator=(const CCmlDOM_Document& other) {
  if (this != &other) {
    bool owner = other.m_owner;
    other.m_owner = false;
    if (m_document != other.m_document) ReleaseOwned();
    m_document = other.m_document;
    m_owner = owner;
  }
  return *this;
}

CCmlDOM_Document::~CCmlDOM_Document() { ReleaseOwned(); }

CCmlDOM_Document CCmlDOM_Document::CreateEmpty() {
  EnsureXercesInitialized();
  static const XMLCh kCore[] = {u'C', u'o', u'r', u'e', 0};
  xercesc::DOMImplementation* impl =
      xercesc::DOMImplementationRegistry::getDOMImplementation(kCore);
  return CCmlDOM_Document(impl->createDocument(), true);
}

void CCmlDOM_Document::ReleaseOwned() {
  if (m_owner && m_document != nullptr) {
    xercesc::DOMDocument* doc = m_document;
    m_document = nullptr;
    doc->release();
  }
  m_owner = false;
}

void CCmlDOM_Document::SetDOMDocument(xercesc::DOMDocument* document, bool owner) {
  if (document != m_document) ReleaseOwned();
  m_document = document;
  m_owner = owner;
}

void CCmlDOM_Document::release() {
  Checked("release");
  m_owner = true;
  ReleaseOwned();
}

xercesc::DOMDocument* CCmlDOM_Document::Checked(const char* op) const {
  if (m_document == nullptr) ThrowDomNull(kCls, op, L"The document is NULL");
  return m_document;
}

CCmlDOM_Element CCmlDOM_Document::getDocumentElement() const {
  return CCmlDOM_Element(Checked("getDocumentElement")->getDocumentElement());
}
CCmlDOM_Node CCmlDOM_Document::getDoctype() const {
  return CCmlDOM_Node(Checked("getDoctype")->getDoctype());
}
CCmlDOM_Element CCmlDOM_Document::createElement(const std::wstring& tagName) {
  return CCmlDOM_Element(Checked("createElement")->createElement(ToXml(tagName).c_str()));
}
CCmlDOM_Element CCmlDOM_Document::createElementNS(const std::wstring& uri,
                                                  const std::wstring& qualifiedName) {
  return CCmlDOM_Element(Checked("createElementNS")
                             ->createElementNS(ToXml(uri).c_str(), ToXml(qualifiedName).c_str()));
}
CCmlDOM_Node CCmlDOM_Document::createTextNode(const std::wstring& data) {
  return CCmlDOM_Node(Checked("createTextNode")->createTextNode(ToXml(data).c_str()));
}
CCmlDOM_Node CCmlDOM_Document::createComment(const std::wstring& data) {
  return CCmlDOM_Node(Checked("createComment")->createComment(ToXml(data).c_str()));
}
CCmlDOM_Node CCmlDOM_Document::createCDATASection(const std::wstring& data) {
  return CCmlDOM_Node(Checked("createCDATASection")->createCDATASection(ToXml(data).c_str()));
}
CCmlDOM_Node CCmlDOM_Document::importNode(const CCmlDOM_Node& node, bool deep) {
  return CCmlDOM_Node(Checked("importNode")->importNode(node.GetDOMNode(), deep));
}
CCmlDOM_Node CCmlDOM_Document::appendChild(const CCmlDOM_Node& child) {
  return CCmlDOM_Node(Checked("appendChild")->appendChild(child.GetDOMNode()));
}
CCmlDOM_NodeList CCmlDOM_Document::getElementsByTagName(const std::wstring& name) const {
  return CCmlDOM_NodeList(Checked("getElementsByTagName")->getElementsByTagName(ToXml(name).c_str()));
}
CCmlDOM_NodeList CCmlDOM_Document::getElementsByTagNameNS(const std::wstring& uri,
                                                          const std::wstring& localName) const {
  return CCmlDOM_NodeList(Checked("getElementsByTagNameNS")
                              ->getElementsByTagNameNS(ToXml(uri).c_str(),
                                                       ToXml(localName).c_str()));
}

}  // namespace cml
}  // namespace qel
