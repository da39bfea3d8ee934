#include "cml/cml_policy_node.h"

#include "cml/cml_codes.h"
#include "cml/cml_depth.h"
#include "cml/cml_document_output.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_exception.h"
#include "cml/cml_memory.h"
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
  WithMemoryGuard(operation, [&] {
    WithDomErrors(operation, [&] {
      CCmlDOM_Document document = CCmlDOM_Document::CreateEmpty();
      CCmlDOM_Element copy(document.importNode(element, true));
      document.appendChild(copy);
      Bind(copy.GetDOMNode(), false);
      m_document = document;  // only now: `element` may live in the old copy
      Refresh();
    });
  });
}

void CPolicyNode::Refresh() {
  ClearCachedAttributes();
  SetNamespace(getNamespaceURI());
  SetTagName(getTagName());
  SetInstanceSchemaVersion(getAttribute(vocab::kSchemaVersion));
  m_schemaVersion = hasAttribute(vocab::kSchemaVersion) ? GetInstanceSchemaVersion() : L"";
  m_policyName = getAttribute(vocab::kName);
  m_policyVersion = getAttribute(vocab::kVersion);
}

// The wrapper was rebound (SetDOMElement, assignment through the wrapper): the node
// takes its own copy of the new element and its names and versions from it.
void CPolicyNode::OnNodeReplaced() {
  xercesc::DOMNode* node = CCmlDOM_Node::GetDOMNode();
  if (node == nullptr) {
    ClearCachedAttributes();
    SetNamespace(L"");
    SetTagName(L"");
    SetInstanceSchemaVersion(L"");
    m_schemaVersion.clear();
    return;
  }
  if (node->getOwnerDocument() == m_document.GetDOMDocument()) {
    WithDomErrors(L"Creating policy node object", [&] { Refresh(); });
    return;
  }
  const bool owned = IsOwner();
  CCmlDOM_Element external(static_cast<xercesc::DOMElement*>(node), owned);
  SetOwner(false);
  Adopt(external);
}

std::unique_ptr<CCmlDocumentBase> CPolicyNode::Clone() const {
  return GuardedClone<CCmlDocumentBase>(*this, L"Cloning policy node object");
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

void CPolicyNode::SerializeElement(std::wostream& os, unsigned level) const {
  WriteElementOutput(os, [&](CCmlOutput& out, std::wostream&) {
    SerializeNodeFormatted(GetElement(), out, level);
  });
}

void CPolicyNode::SerializeElement(std::ostream& os, unsigned level) const {
  WriteElementOutput(os, [&](CCmlOutput& out, std::ostream&) {
    SerializeNodeFormatted(GetElement(), out, level);
  });
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
