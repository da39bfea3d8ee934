#include "cml/cml_dom_document.h"

#include <xercesc/dom/DOM.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/impl/DOMDocumentImpl.hpp>

#include "cml/cml_dom_attr.h"
#include "cml/cml_dom_cdata_section.h"
#include "cml/cml_dom_comment.h"
#include "cml/cml_dom_document_fragment.h"
#include "cml/cml_dom_document_type.h"
#include "cml/cml_dom_element.h"
#include "cml/cml_dom_entity.h"
#include "cml/cml_dom_entity_reference.h"
#include "cml/cml_dom_notation.h"
#include "cml/cml_dom_processing_instruction.h"
#include "cml/cml_dom_text.h"
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
    const bool owner = other.m_owner || (m_owner && m_document == other.m_document);
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
  if (document == m_document) owner = owner || m_owner;
  if (document != m_document) ReleaseOwned();
  m_document = document;
  m_owner = owner;
}

void CCmlDOM_Document::release() {
  Checked("release");
  m_owner = true;
  ReleaseOwned();
}

xercesc::DOMDocumentImpl* CCmlDOM_Document::Impl(const char* op) const {
  auto* impl = dynamic_cast<xercesc::DOMDocumentImpl*>(Checked(op));
  if (impl == nullptr) throw xercesc::DOMException(xercesc::DOMException::NOT_SUPPORTED_ERR);
  return impl;
}

xercesc::DOMDocument* CCmlDOM_Document::Checked(const char* op) const {
  if (m_document == nullptr) ThrowDomNull(kCls, op, L"The document is NULL");
  return m_document;
}

CCmlDOM_Element CCmlDOM_Document::getDocumentElement() const {
  return CCmlDOM_Element(Checked("getDocumentElement")->getDocumentElement());
}
CCmlDOM_DocumentType CCmlDOM_Document::getDoctype() const {
  return CCmlDOM_DocumentType(CCmlDOM_Node(Checked("getDoctype")->getDoctype()));
}
xercesc::DOMImplementation* CCmlDOM_Document::getImplementation() const {
  return Checked("getImplementation")->getImplementation();
}
CCmlDOM_Node CCmlDOM_Document::importNode(const CCmlDOM_Node& node, bool deep) {
  return CCmlDOM_Node(Checked("importNode")->importNode(node.GetDOMNode(), deep));
}
CCmlDOM_Node CCmlDOM_Document::adoptNode(const CCmlDOM_Node& node) {
  return CCmlDOM_Node(Checked("adoptNode")->adoptNode(node.GetDOMNode()));
}
CCmlDOM_Node CCmlDOM_Document::renameNode(const CCmlDOM_Node& node, const std::wstring& uri,
                                          const std::wstring& qualifiedName) {
  return CCmlDOM_Node(
      Checked("renameNode")
          ->renameNode(node.GetDOMNode(), ToXml(uri).c_str(), ToXml(qualifiedName).c_str()));
}
CCmlDOM_Node CCmlDOM_Document::appendChild(const CCmlDOM_Node& child) {
  return CCmlDOM_Node(Checked("appendChild")->appendChild(child.GetDOMNode()));
}

CCmlDOM_Element CCmlDOM_Document::createElement(const std::wstring& tagName) {
  return CCmlDOM_Element(Checked("createElement")->createElement(ToXml(tagName).c_str()));
}
CCmlDOM_Element CCmlDOM_Document::createElementNS(const std::wstring& uri,
                                                  const std::wstring& qualifiedName) {
  return CCmlDOM_Element(Checked("createElementNS")
                             ->createElementNS(ToXml(uri).c_str(), ToXml(qualifiedName).c_str()));
}
CCmlDOM_Attr CCmlDOM_Document::createAttribute(const std::wstring& name) {
  return CCmlDOM_Attr(Checked("createAttribute")->createAttribute(ToXml(name).c_str()));
}
CCmlDOM_Attr CCmlDOM_Document::createAttributeNS(const std::wstring& uri,
                                                 const std::wstring& qualifiedName) {
  return CCmlDOM_Attr(Checked("createAttributeNS")
                          ->createAttributeNS(ToXml(uri).c_str(), ToXml(qualifiedName).c_str()));
}
CCmlDOM_Text CCmlDOM_Document::createTextNode(const std::wstring& data) {
  return CCmlDOM_Text(CCmlDOM_Node(Checked("createTextNode")->createTextNode(ToXml(data).c_str())));
}
CCmlDOM_Comment CCmlDOM_Document::createComment(const std::wstring& data) {
  return CCmlDOM_Comment(
      CCmlDOM_Node(Checked("createComment")->createComment(ToXml(data).c_str())));
}
CCmlDOM_CDATASection CCmlDOM_Document::createCDATASection(const std::wstring& data) {
  return CCmlDOM_CDATASection(
      CCmlDOM_Node(Checked("createCDATASection")->createCDATASection(ToXml(data).c_str())));
}
CCmlDOM_ProcessingInstruction CCmlDOM_Document::createProcessingInstruction(
    const std::wstring& target, const std::wstring& data) {
  return CCmlDOM_ProcessingInstruction(
      CCmlDOM_Node(Checked("createProcessingInstruction")
                       ->createProcessingInstruction(ToXml(target).c_str(), ToXml(data).c_str())));
}
CCmlDOM_DocumentFragment CCmlDOM_Document::createDocumentFragment() {
  return CCmlDOM_DocumentFragment(
      CCmlDOM_Node(Checked("createDocumentFragment")->createDocumentFragment()));
}
CCmlDOM_DocumentType CCmlDOM_Document::createDocumentType(const std::wstring& name) {
  return CCmlDOM_DocumentType(
      CCmlDOM_Node(Checked("createDocumentType")->createDocumentType(ToXml(name).c_str())));
}
CCmlDOM_DocumentType CCmlDOM_Document::createDocumentType(const std::wstring& qualifiedName,
                                                          const std::wstring& publicId,
                                                          const std::wstring& systemId) {
  return CCmlDOM_DocumentType(
      CCmlDOM_Node(Checked("createDocumentType")
                       ->createDocumentType(ToXml(qualifiedName).c_str(), ToXml(publicId).c_str(),
                                            ToXml(systemId).c_str())));
}
CCmlDOM_Entity CCmlDOM_Document::createEntity(const std::wstring& name) {
  return CCmlDOM_Entity(CCmlDOM_Node(Checked("createEntity")->createEntity(ToXml(name).c_str())));
}
CCmlDOM_EntityReference CCmlDOM_Document::createEntityReference(const std::wstring& name) {
  return CCmlDOM_EntityReference(
      CCmlDOM_Node(Checked("createEntityReference")->createEntityReference(ToXml(name).c_str())));
}
CCmlDOM_Notation CCmlDOM_Document::createNotation(const std::wstring& name) {
  return CCmlDOM_Notation(
      CCmlDOM_Node(Checked("createNotation")->createNotation(ToXml(name).c_str())));
}

CCmlDOM_Element CCmlDOM_Document::getElementById(const std::wstring& id) const {
  return CCmlDOM_Element(Checked("getElementById")->getElementById(ToXml(id).c_str()));
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

std::wstring CCmlDOM_Document::getEncoding() const {
  return FromXml(Checked("getEncoding")->getXmlEncoding());
}
// Xerces copies the texts into the document's heap.
void CCmlDOM_Document::setEncoding(const std::wstring& encoding) {
  Impl("setEncoding")->setXmlEncoding(ToXml(encoding).c_str());
}
void CCmlDOM_Document::setActualEncoding(const std::wstring& encoding) {
  Impl("setActualEncoding")->setInputEncoding(ToXml(encoding).c_str());
}
std::wstring CCmlDOM_Document::getActualEncoding() const {
  return FromXml(Checked("getActualEncoding")->getInputEncoding());
}
std::wstring CCmlDOM_Document::getVersion() const {
  return FromXml(Checked("getVersion")->getXmlVersion());
}
void CCmlDOM_Document::setVersion(const std::wstring& version) {
  Checked("setVersion")->setXmlVersion(ToXml(version).c_str());
}
bool CCmlDOM_Document::getStandalone() const {
  return Checked("getStandalone")->getXmlStandalone();
}
void CCmlDOM_Document::setStandalone(bool standalone) {
  Checked("setStandalone")->setXmlStandalone(standalone);
}
std::wstring CCmlDOM_Document::getDocumentURI() const {
  return FromXml(Checked("getDocumentURI")->getDocumentURI());
}
void CCmlDOM_Document::setDocumentURI(const std::wstring& uri) {
  Checked("setDocumentURI")->setDocumentURI(ToXml(uri).c_str());
}
bool CCmlDOM_Document::getStrictErrorChecking() const {
  return Checked("getStrictErrorChecking")->getStrictErrorChecking();
}
void CCmlDOM_Document::setStrictErrorChecking(bool strict) {
  Checked("setStrictErrorChecking")->setStrictErrorChecking(strict);
}
void CCmlDOM_Document::normalizeDocument() { Checked("normalizeDocument")->normalizeDocument(); }
xercesc::DOMConfiguration* CCmlDOM_Document::getDOMConfiguration() const {
  return Checked("getDOMConfiguration")->getDOMConfig();
}

}  // namespace cml
}  // namespace qel
