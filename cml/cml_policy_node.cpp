#include "cml/cml_policy_node.h"

#include "cml/cml_codes.h"
#include "cml/cml_depth.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_exception.h"
#include "cml/cml_node_writer.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

CPolicyNode::CPolicyNode(const CCmlDOM_Element& element) : CCmlDOM_Node() { Adopt(element); }

CPolicyNode::CPolicyNode(const CPolicyNode& other)
    : CCmlDOM_Node(), CPolicySource(other), CCmlDOM_Element() {
  Adopt(other.GetElement());
  m_schemaVersion = other.m_schemaVersion;
}

CPolicyNode::~CPolicyNode() {
  // The element belongs to m_document, which releases it; unbind first.
  Bind(nullptr, false);
}

void CPolicyNode::Adopt(const CCmlDOM_Element& element) {
  const wchar_t* operation = L"Creating policy node object";
  if (element.IsNull()) {
    throw CCmlException(operation, L"Null element received", qel::status::CML_NULL_ELEMENT);
  }
  CheckElementDepth(element.GetDOMNode(), operation);
  WithDomErrors(operation, [&] {
    m_document = CCmlDOM_Document::CreateEmpty();
    CCmlDOM_Element copy(m_document.importNode(element, true));
    m_document.appendChild(copy);
    Bind(copy.GetDOMNode(), false);
    ClearCachedAttributes();
    SetNamespace(getNamespaceURI());
    SetTagName(getTagName());
    SetInstanceSchemaVersion(getAttribute(vocab::kSchemaVersion));
    if (hasAttribute(vocab::kSchemaVersion)) SetSchemaVersion(GetInstanceSchemaVersion());
    m_policyName = getAttribute(vocab::kName);
    m_policyVersion = getAttribute(vocab::kVersion);
  });
}

std::unique_ptr<CCmlDocumentBase> CPolicyNode::Clone() const {
  return std::make_unique<CPolicyNode>(*this);
}

void CPolicyNode::SetSchemaVersion(const std::wstring& version) {
  if (!CCmlDOM_Node::IsNull()) {
    WithDomErrors(L"Setting policy node schema version",
                  [&] { setAttribute(vocab::kSchemaVersion, version); });
  }
  m_schemaVersion = version;
}

void CPolicyNode::GetNamespaces(CNamespaceSet& set) const {
  if (GetNamespace().empty()) return;  // an element in no namespace declares nothing
  AddNamespaceChecked(set, CNamespace(GetNamespace(), m_schemaVersion),
                      L"Constructing policy node namespace object");
}

void CPolicyNode::WriteElement(CCmlOutput& out, unsigned level) const {
  SerializeNodeFormatted(GetElement(), out, level);
}

std::wstring CPolicyNode::GetPolicyName() const {
  if (CCmlDOM_Node::IsNull()) {
    throw CCmlException(L"Getting policy node name", L"Null node", qel::status::CML_NULL_NODE);
  }
  if (m_policyName.empty()) m_policyName = getAttribute(vocab::kName);
  return m_policyName;
}

std::wstring CPolicyNode::GetPolicyVersion() const {
  if (CCmlDOM_Node::IsNull()) {
    throw CCmlException(L"Getting policy node version #", L"Null node",
                        qel::status::CML_NULL_NODE);
  }
  if (m_policyVersion.empty()) m_policyVersion = getAttribute(vocab::kVersion);
  return m_policyVersion;
}

bool CPolicyNode::IsValid() const {
  if (CCmlDOM_Node::IsNull()) {
    throw CCmlException(L"Getting policy node valid attribute", L"Null node",
                        qel::status::CML_NULL_NODE);
  }
  return getAttribute(vocab::kValid) == vocab::kTrue;
}

void CPolicyNode::ClearCachedAttributes() {
  m_policyName.clear();
  m_policyVersion.clear();
}

}  // namespace cml
}  // namespace qel
