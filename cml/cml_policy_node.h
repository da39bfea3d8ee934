// CPolicyNode: a policy kept as a DOM element (type 2) and written back unchanged.
// It is at the same time a DOM element wrapper positioned on that element. The node
// keeps its own deep copy of the element in a private DOM document that it owns, so
// it stays valid after the parser that produced the original is gone; clones copy
// the element again. One thread at a time.
#ifndef QEL_CML_POLICY_NODE_H
#define QEL_CML_POLICY_NODE_H

#include <memory>
#include <string>

#include "cml/cml_dom_document.h"
#include "cml/cml_dom_element.h"
#include "cml/cml_policy_source.h"

namespace qel {
namespace cml {

class CPolicyNode : public CPolicySource, public CCmlDOM_Element {
 public:
  // Copies `element` (which must not be null) with all its descendants.
  explicit CPolicyNode(const CCmlDOM_Element& element);
  CPolicyNode(const CPolicyNode& other);
  CPolicyNode& operator=(const CPolicyNode&) = delete;
  ~CPolicyNode() override;

  std::unique_ptr<CCmlDocumentBase> Clone() const override;
  const std::wstring& GetSchemaVersion() const override { return m_schemaVersion; }
  // Also sets the element's "schema-version" attribute.
  void SetSchemaVersion(const std::wstring& version) override;
  bool HasChildElements() const override { return false; }
  void GetNamespaces(CNamespaceSet& set) const override;
  // The element and its subtree as they are (the DOM subtree writer).
  void SerializeElement(std::wostream& os, unsigned level) const override;
  void SerializeElement(std::ostream& os, unsigned level) const override;

  int GetPolicySourceType() const override { return kPolicyNode; }
  std::wstring GetPolicyName() const override;
  std::wstring GetPolicyVersion() const override;
  // True exactly when the element's "valid" attribute is "true".
  bool IsValid() const override;

  const CCmlDOM_Element& GetElement() const { return *this; }
  CCmlDOM_Element& GetElement() { return *this; }
  void ClearCachedAttributes();

 protected:
  void OnNodeReplaced() override;

 private:
  void Adopt(const CCmlDOM_Element& element);
  void Refresh();

  CCmlDOM_Document m_document;  // owns the copy of the element
  mutable std::wstring m_policyName;
  mutable std::wstring m_policyVersion;
  std::wstring m_schemaVersion;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_POLICY_NODE_H
