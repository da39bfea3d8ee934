// CCmlDOM_Document: wrapper of a Xerces DOMDocument (see CCmlDOM_Node for the rules;
// an owning document wrapper releases the whole document). Also makes new, empty
// documents owned by the returned wrapper.
#ifndef QEL_CML_DOM_DOCUMENT_H
#define QEL_CML_DOM_DOCUMENT_H

#include <string>

#include <xercesc/dom/DOMDocument.hpp>

namespace qel {
namespace cml {

class CCmlDOM_Element;
class CCmlDOM_Node;
class CCmlDOM_NodeList;

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
  CCmlDOM_Node getDoctype() const;
  CCmlDOM_Element createElement(const std::wstring& tagName);
  CCmlDOM_Element createElementNS(const std::wstring& uri, const std::wstring& qualifiedName);
  CCmlDOM_Node createTextNode(const std::wstring& data);
  CCmlDOM_Node createComment(const std::wstring& data);
  CCmlDOM_Node createCDATASection(const std::wstring& data);
  CCmlDOM_Node importNode(const CCmlDOM_Node& node, bool deep);
  CCmlDOM_Node appendChild(const CCmlDOM_Node& child);
  CCmlDOM_NodeList getElementsByTagName(const std::wstring& name) const;
  CCmlDOM_NodeList getElementsByTagNameNS(const std::wstring& uri,
                                          const std::wstring& localName) const;

 private:
  xercesc::DOMDocument* Checked(const char* op) const;
  void ReleaseOwned();

  xercesc::DOMDocument* m_document = nullptr;
  mutable bool m_owner = false;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_DOCUMENT_H
