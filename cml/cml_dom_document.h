// CCmlDOM_Document: wrapper of a Xerces DOMDocument (see CCmlDOM_Node for the rules;
// an owning document wrapper releases the whole document). Also makes new, empty
// documents owned by the returned wrapper. Xerces-C 3 names the document's encodings
// and version after XML: getEncoding is the declared encoding, getActualEncoding the
// one the input was read in, getVersion the XML version. Its document interface has
// no setters for the encodings; setEncoding and setActualEncoding reach them through
// Xerces' own document implementation (DOMDocumentImpl), which keeps a copy of the
// text (a document of another implementation gives DOMException NOT_SUPPORTED_ERR).
#ifndef QEL_CML_DOM_DOCUMENT_H
#define QEL_CML_DOM_DOCUMENT_H

#include <string>

#include <xercesc/dom/DOMConfiguration.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMImplementation.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocumentImpl;
XERCES_CPP_NAMESPACE_END

namespace qel {
namespace cml {

class CCmlDOM_Attr;
class CCmlDOM_CDATASection;
class CCmlDOM_Comment;
class CCmlDOM_DocumentFragment;
class CCmlDOM_DocumentType;
class CCmlDOM_Element;
class CCmlDOM_Entity;
class CCmlDOM_EntityReference;
class CCmlDOM_Node;
class CCmlDOM_NodeList;
class CCmlDOM_Notation;
class CCmlDOM_ProcessingInstruction;
class CCmlDOM_Text;

class CCmlDOM_Document {
 public:
  CCmlDOM_Document();
  explicit CCmlDOM_Document(xercesc::DOMDocument* document, bool owner = false);
  CCmlDOM_Document(const CCmlDOM_Document& other);             // moves the owner flag
  CCmlDOM_Document& operator=(const CCmlDOM_Document& other);  // likewise
  ~CCmlDOM_Document();

  // A new empty document (no document element), owned by the wrapper.
  static CCmlDOM_Document CreateEmpty();

  xercesc::DOMDocument* GetDOMDocument() const { return m_document; }
  void SetDOMDocument(xercesc::DOMDocument* document, bool owner = false);
  bool IsNull() const { return m_document == nullptr; }
  bool IsOwner() const { return m_owner; }
  void SetOwner(bool owner) { m_owner = owner; }
  void release();

  CCmlDOM_Element getDocumentElement() const;
  CCmlDOM_DocumentType getDoctype() const;
  xercesc::DOMImplementation* getImplementation() const;
  CCmlDOM_Node importNode(const CCmlDOM_Node& node, bool deep);
  CCmlDOM_Node adoptNode(const CCmlDOM_Node& node);
  CCmlDOM_Node renameNode(const CCmlDOM_Node& node, const std::wstring& uri,
                          const std::wstring& qualifiedName);
  CCmlDOM_Node appendChild(const CCmlDOM_Node& child);

  CCmlDOM_Element createElement(const std::wstring& tagName);
  CCmlDOM_Element createElementNS(const std::wstring& uri, const std::wstring& qualifiedName);
  CCmlDOM_Attr createAttribute(const std::wstring& name);
  CCmlDOM_Attr createAttributeNS(const std::wstring& uri, const std::wstring& qualifiedName);
  CCmlDOM_Text createTextNode(const std::wstring& data);
  CCmlDOM_Comment createComment(const std::wstring& data);
  CCmlDOM_CDATASection createCDATASection(const std::wstring& data);
  CCmlDOM_ProcessingInstruction createProcessingInstruction(const std::wstring& target,
                                                            const std::wstring& data);
  CCmlDOM_DocumentFragment createDocumentFragment();
  CCmlDOM_DocumentType createDocumentType(const std::wstring& name);
  CCmlDOM_DocumentType createDocumentType(const std::wstring& qualifiedName,
                                          const std::wstring& publicId,
                                          const std::wstring& systemId);
  CCmlDOM_Entity createEntity(const std::wstring& name);
  CCmlDOM_EntityReference createEntityReference(const std::wstring& name);
  CCmlDOM_Notation createNotation(const std::wstring& name);

  CCmlDOM_Element getElementById(const std::wstring& id) const;
  CCmlDOM_NodeList getElementsByTagName(const std::wstring& name) const;
  CCmlDOM_NodeList getElementsByTagNameNS(const std::wstring& uri,
                                          const std::wstring& localName) const;

  std::wstring getEncoding() const;
  void setEncoding(const std::wstring& encoding);
  std::wstring getActualEncoding() const;
  void setActualEncoding(const std::wstring& encoding);
  std::wstring getVersion() const;
  void setVersion(const std::wstring& version);
  bool getStandalone() const;
  void setStandalone(bool standalone);
  std::wstring getDocumentURI() const;
  void setDocumentURI(const std::wstring& uri);
  bool getStrictErrorChecking() const;
  void setStrictErrorChecking(bool strict);
  void normalizeDocument();
  xercesc::DOMConfiguration* getDOMConfiguration() const;

 private:
  xercesc::DOMDocument* Checked(const char* op) const;
  // Xerces' document implementation (DOMException when the document is of another).
  xercesc::DOMDocumentImpl* Impl(const char* op) const;
  void ReleaseOwned();

  xercesc::DOMDocument* m_document = nullptr;
  mutable bool m_owner = false;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_DOCUMENT_H
