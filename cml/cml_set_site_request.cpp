#include "cml/cml_set_site_request.h"

#include <xercesc/dom/DOMNode.hpp>

#include "cml/cml_class_factory.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_memory.h"
#include "cml/cml_serializer.h"
#include "cml/cml_uris.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

namespace {
const CPolicySourceList::Texts kTexts = {L"Getting policy source from set-site-request",
                                         L"Setting set-site-request policy source"};
}

CSetSiteRequest::CSetSiteRequest()
    : CCmlRequest(vocab::kSetSiteRequest, uri::kAgentMessages, version::kAgentMessages),
      m_policies(kTexts) {}
CSetSiteRequest::CSetSiteRequest(const CSetSiteRequest& other) = default;
CSetSiteRequest::~CSetSiteRequest() = default;

std::unique_ptr<CCmlDocumentBase> CSetSiteRequest::Clone() const {
  return GuardedClone<CCmlDocumentBase>(*this, L"Cloning set-site-request object");
}

CSetSiteRequest& CSetSiteRequest::AssignSetSiteRequest(const CSetSiteRequest& other) {
  if (&other != this) {
    CCmlRequest::Assign(other);
    m_setSite = other.m_setSite;
    m_overrideSite = other.m_overrideSite;
    m_policies.SetAll(other.m_policies);
  }
  return *this;
}

void CSetSiteRequest::SetPolicySource(std::size_t index, std::unique_ptr<CPolicySource> source) {
  if (source && index < m_policies.Count() &&
      (source->GetNamespace() == uri::kCdGroupSettings ||
       source->GetNamespace() == uri::kGroupSettings)) {
    source->SetSchemaVersion(version::kGroupSettings);
  }
  m_policies.Set(index, std::move(source));
}

void CSetSiteRequest::GetNamespaces(CNamespaceSet& set) const { m_policies.GetNamespaces(set); }

void CSetSiteRequest::Deserialize(const CCmlDOM_Element& element) {
  CCmlRequest::Deserialize(element);
  m_policies.Clear();
  WithDomErrors(L"Parsing set-site-request element", [&] {
    for (CCmlDOM_Node node = element.getFirstChild(); !node.IsNull();
         node = node.getNextSibling()) {
      if (node.getNodeType() != xercesc::DOMNode::ELEMENT_NODE) continue;
      CCmlDOM_Element child(node);
      if (child.getNamespaceURI() != GetNamespace()) {
        m_policies.AddNode(child);
      } else if (child.getLocalName() == vocab::kSetSiteRequestInfo) {
        m_setSite = child.getAttribute(vocab::kSetSite) == vocab::kTrue;
        m_overrideSite = child.getAttribute(vocab::kOverrideSite) == vocab::kTrue;
      }
    }
  });
}

void CSetSiteRequest::WriteChildElements(std::wostream& os, unsigned level) const {
  WriteThrough(os, [&](CCmlOutput& out) { WriteChildren(out, level); });
}

void CSetSiteRequest::WriteChildElements(std::ostream& os, unsigned level) const {
  WriteThrough(os, [&](CCmlOutput& out) { WriteChildren(out, level); });
}

void CSetSiteRequest::WriteChildren(CCmlOutput& out, unsigned level) const {
  WriteOpenTag(out, level, vocab::kSetSiteRequestInfo);
  WriteAttribute(out, vocab::kSetSite, BoolText(m_setSite));
  WriteAttribute(out, vocab::kOverrideSite, BoolText(m_overrideSite));
  out << L"/>\n";
  m_policies.Write(out, level);
}

void CSetSiteRequest::Register() {
  RegisterAgentMessage(vocab::kSetSiteRequest, CSetSiteRequest());
}

}  // namespace cml
}  // namespace qel
