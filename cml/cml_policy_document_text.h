// CPolicyDocumentText: a policy document held as ready-made XML text (type 3) and
// written verbatim, without indentation or escaping, on its own line. An XML
// declaration in front of the text is dropped when it is stored. Its namespace and
// instance schema version, plus any further namespaces the text uses, take part in
// the namespace set of the enclosing document. One thread at a time.
#ifndef QEL_CML_POLICY_DOCUMENT_TEXT_H
#define QEL_CML_POLICY_DOCUMENT_TEXT_H

#include <memory>
#include <string>

#include "cml/cml_namespace.h"
#include "cml/cml_policy_source.h"

namespace qel {
namespace cml {

class CPolicyDocumentText : public CPolicySource {
 public:
  CPolicyDocumentText(const std::wstring& tag, const std::wstring& ns,
                      const std::wstring& instanceVersion, const std::wstring& text,
                      const std::wstring& policyName, const std::wstring& policyVersion);
  CPolicyDocumentText(const CPolicyDocumentText& other);
  ~CPolicyDocumentText() override;

  std::unique_ptr<CCmlDocumentBase> Clone() const override;
  const std::wstring& GetSchemaVersion() const override { return m_schemaVersion; }
  void SetSchemaVersion(const std::wstring& version) override { m_schemaVersion = version; }
  bool HasChildElements() const override { return false; }
  void GetNamespaces(CNamespaceSet& set) const override;
  void Deserialize(const CCmlDOM_Element&) override {}
  // The text as stored, on a line of its own (no indentation, no escaping).
  void SerializeElement(std::wostream& os, unsigned level) const override;
  void SerializeElement(std::ostream& os, unsigned level) const override;

  int GetPolicySourceType() const override { return kPolicyDocumentText; }
  std::wstring GetPolicyName() const override { return m_policyName; }
  std::wstring GetPolicyVersion() const override { return m_policyVersion; }
  bool IsValid() const override { return true; }

  virtual CPolicyDocumentText& AssignDocumentText(const CPolicyDocumentText& other);
  const std::wstring& GetText() const { return m_text; }
  void SetPolicyName(const std::wstring& name) { m_policyName = name; }
  void SetPolicyVersion(const std::wstring& version) { m_policyVersion = version; }
  void SetText(const std::wstring& text);
  // Same pair again: kept; the URI with another version: namespace conflict.
  void AddNamespace(const std::wstring& uri, const std::wstring& version);
  const CNamespaceSet& GetNamespaceSet() const { return m_namespaces; }
  CNamespaceSet& GetNamespaceSet() { return m_namespaces; }

 private:
  void WriteText(CCmlOutput& out) const;

  std::wstring m_policyName;
  std::wstring m_policyVersion;
  std::wstring m_text;
  std::wstring m_schemaVersion;
  CNamespaceSet m_namespaces;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_POLICY_DOCUMENT_TEXT_H
