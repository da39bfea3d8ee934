// CCmlDOM_Node: thin wrapper over a Xerces DOMNode that speaks wide text, throws a
// CCmlException naming the operation when it holds no node, and hands related nodes
// back as non-owning wrappers by value. Text results are returned by value (no
// cache to outlive). Ownership: an owning wrapper releases its node when destroyed or
// rebound; copying moves the owner flag to the copy. The DOM itself stays owned by
// its document. One thread uses a wrapper (and its document) at a time.
#ifndef QEL_CML_DOM_NODE_H
#define QEL_CML_DOM_NODE_H

#include <string>

#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/dom/DOMUserDataHandler.hpp>

namespace qel {
namespace cml {

class CCmlDOM_Document;
class CCmlDOM_NamedNodeMap;
class CCmlDOM_NodeList;

class CCmlDOM_Node {
 public:
  CCmlDOM_Node();
  explicit CCmlDOM_Node(xercesc::DOMNode* node, bool owner = false);
  CCmlDOM_Node(const CCmlDOM_Node& other);             // takes over the owner flag
  CCmlDOM_Node& operator=(const CCmlDOM_Node& other);  // likewise
  virtual ~CCmlDOM_Node();

  xercesc::DOMNode* GetDOMNode() const { return m_node; }
  void SetDOMNode(xercesc::DOMNode* node);
  bool IsNull() const { return m_node == nullptr; }
  bool IsOwner() const { return m_owner; }
  void SetOwner(bool owner) { m_owner = owner; }

  CCmlDOM_Node appendChild(const CCmlDOM_Node& child);
  CCmlDOM_Node cloneNode(bool deep) const;
  // The DOMNode::DOCUMENT_POSITION_* bits of `other` relative to this node.
  short compareTreePosition(const CCmlDOM_Node& other) const;
  CCmlDOM_NamedNodeMap getAttributes() const;
  std::wstring getBaseURI() const;
  CCmlDOM_NodeList getChildNodes() const;
  CCmlDOM_Node getFirstChild() const;
  // The object implementing `feature` at `version` (Xerces getFeature), or null.
  void* getInterface(const std::wstring& feature, const std::wstring& version) const;
  CCmlDOM_Node getLastChild() const;
  std::wstring getLocalName() const;
  std::wstring getNamespaceURI() const;
  CCmlDOM_Node getNextSibling() const;
  std::wstring getNodeName() const;
  short getNodeType() const;
  std::wstring getNodeValue() const;
  CCmlDOM_Document getOwnerDocument() const;
  CCmlDOM_Node getParentNode() const;
  std::wstring getPrefix() const;
  CCmlDOM_Node getPreviousSibling() const;
  std::wstring getTextContent() const;
  void* getUserData(const std::wstring& key) const;
  bool hasAttributes() const;
  bool hasChildNodes() const;
  CCmlDOM_Node insertBefore(const CCmlDOM_Node& newChild, const CCmlDOM_Node& refChild);
  bool isDefaultNamespace(const std::wstring& uri) const;
  bool isEqualNode(const CCmlDOM_Node& other) const;
  bool isSameNode(const CCmlDOM_Node& other) const;
  bool isSupported(const std::wstring& feature, const std::wstring& version) const;
  // The prefix bound to `uri` (empty: none). With `useDefault`, a node whose default
  // namespace is `uri` answers at once with no prefix (empty); without, only
  // prefixed bindings count.
  std::wstring lookupNamespacePrefix(const std::wstring& uri, bool useDefault = false) const;
  std::wstring lookupNamespaceURI(const std::wstring& prefix) const;
  void normalize();
  // Hands the node back to Xerces and clears the wrapper.
  void release();
  CCmlDOM_Node removeChild(const CCmlDOM_Node& oldChild);
  CCmlDOM_Node replaceChild(const CCmlDOM_Node& newChild, const CCmlDOM_Node& oldChild);
  void setNodeValue(const std::wstring& value);
  void setPrefix(const std::wstring& prefix);
  void setTextContent(const std::wstring& text);
  // Returns the data stored under `key` before.
  void* setUserData(const std::wstring& key, void* data,
                    xercesc::DOMUserDataHandler* handler = nullptr);

 protected:
  // The node or a CCmlException "The node is NULL" naming `cls`::`op`().
  xercesc::DOMNode* Checked(const char* cls, const char* op) const;
  // Runs after the wrapped node changed (rebinding); subclasses drop cached values.
  virtual void OnNodeReplaced() {}
  // Binds without calling the hook (used by constructors).
  void Bind(xercesc::DOMNode* node, bool owner);

 private:
  void ReleaseOwned();

  xercesc::DOMNode* m_node = nullptr;
  mutable bool m_owner = false;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_NODE_H
