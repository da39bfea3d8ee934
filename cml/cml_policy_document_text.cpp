#include "cml/cml_policy_document_text.h"

#include "cml/cml_document_output.h"
#include "cml/cml_memory.h"
#include "cml/cml_serializer.h"

namespace qel {
namespace cml {

CPolicyDocumentText::CPolicyDocumentText(const std::wstring& tag, const std::wstring& ns,
                                         const std::wstring& instanceVersion,
                                         const std::wstring& text,
                                         const std::wstring& policyName,
                                         const std::wstring& policyVersion)
    : CPolicySource(tag, ns, instanceVersion),
      m_policyName(policyName),
      m_policyVersion(policyVersion) {
  SetText(text);
}

CPolicyDocumentText::CPolicyDocumentText(const CPolicyDocumentText& other) = default;
CPolicyDocumentText::~CPolicyDocumentText() = default;

std::unique_ptr<CCmlDocumentBase> CPolicyDocumentText::Clone() const {
  return GuardedClone<CCmlDocumentBase>(*this, L"Cloning policy document text object");
}

CPolicyDocumentText& CPolicyDocumentText::AssignDocumentText(const CPolicyDocumentText& other) {
  if (&other != this) {
    Assign(other);
    m_policyName = other.m_policyName;
    m_policyVersion = other.m_policyVersion;
    m_text = other.m_text;
    m_namespaces = other.m_namespaces;
  }
  return *this;
}

void CPolicyDocumentText::SetText(const std::wstring& text) { m_text = SkipXmlDeclaration(text); }

void CPolicyDocumentText::AddNamespace(const std::wstring& uri, const std::wstring& version) {
  AddNamespaceChecked(m_namespaces, CNamespace(uri, version),
                      L"Adding namespace to policy document text namespace set");
}

void CPolicyDocumentText::GetNamespaces(CNamespaceSet& set) const {
  const wchar_t* operation = L"Constructing policy document text namespace object";
  // A text in no namespace declares nothing.
  if (!GetNamespace().empty()) {
    AddNamespaceChecked(set, CNamespace(GetNamespace(), GetInstanceSchemaVersion()), operation);
  }
  for (const CNamespace& ns : m_namespaces) AddNamespaceChecked(set, ns, operation);
}

void CPolicyDocumentText::SerializeElement(std::wostream& os, unsigned) const {
  WriteElementOutput(os, [this](CCmlOutput& out, std::wostream&) { WriteText(out); });
}

void CPolicyDocumentText::SerializeElement(std::ostream& os, unsigned) const {
  WriteElementOutput(os, [this](CCmlOutput& out, std::ostream&) { WriteText(out); });
}

void CPolicyDocumentText::WriteText(CCmlOutput& out) const {
  out.CharacterData(m_text);
  out << L"\n";
}

}  // namespace cml
}  // namespace qel
