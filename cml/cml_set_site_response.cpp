#include "cml/cml_set_site_response.h"

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
const CPolicySourceList::Texts kTexts = {L"Getting policy source from set-site-response",
                                         L"Setting set-site-response policy source"};
}

CSetSiteResponse::CSetSiteResponse()
    : CCmlResponse(vocab::kSetSiteResponse, uri::kAgentMessages, version::kAgentMessages),
      m_policies(kTexts) {}
CSetSiteResponse::CSetSiteResponse(const CSetSiteResponse& other) = default;
CSetSiteResponse::~CSetSiteResponse() = default;

std::unique_ptr<CCmlDocumentBase> CSetSiteResponse::Clone() const {
  return GuardedClone<CCmlDocumentBase>(*this, L"Cloning set-site-response object");
}

CSetSiteResponse& CSetSiteResponse::AssignSetSiteResponse(const CSetSiteResponse& other) {
  if (&other != this) {
    CCmlResponse::Assign(other);
    m_siteAccessible = other.m_siteAccessible;
    m_policies.SetAll(other.m_policies);
  }
  return *this;
}

void CSetSiteResponse::SetPolicySource(std::size_t index, std::unique_ptr<CPolicySource> source) {
  m_policies.Set(index, std::move(source));
}

void CSetSiteResponse::GetNamespaces(CNamespaceSet& set) const { m_policies.GetNamespaces(set); }

void CSetSiteResponse::Deserialize(const CCmlDOM_Element& element) {
  CCmlResponse::Deserialize(element);
  m_policies.Clear();
  WithDomErrors(L"Parsing set-site-response element", [&] {
    for (CCmlDOM_Node node = element.getFirstChild(); !node.IsNull();
         node = node.getNextSibling()) {
      if (node.getNodeType() != xercesc::DOMNode::ELEMENT_NODE) continue;
      CCmlDOM_Element child(node);
      if (child.getNamespaceURI() != GetNamespace()) {
        m_policies.AddNode(child);
      } else if (child.getLocalName() == vocab::kSetSiteResponseInfo) {
        m_siteAccessible = child.getAttribute(vocab::kSiteAccessible) == vocab::kTrue;
      }
    }
  });
}

void CSetSiteResponse::WriteChildElements(std::wostream& os, unsigned level) const {
  WriteThrough(os, [&](CCmlOutput& out) { WriteChildren(out, level); });
}

void CSetSiteResponse::WriteChildElements(std::ostream& os, unsigned level) const {
  WriteThrough(os, [&](CCmlOutput& out) { WriteChildren(out, level); });
}

void CSetSiteResponse::WriteChildren(CCmlOutput& out, unsigned level) const {
  WriteOpenTag(out, level, vocab::kSetSiteResponseInfo);
  WriteAttribute(out, vocab::kSiteAccessible, BoolText(m_siteAccessible));
  out << L"/>\n";
  m_policies.Write(out, level);
}

void CSetSiteResponse::Register() {
  RegisterAgentMessage(vocab::kSetSiteResponse, CSetSiteResponse());
}

}  // namespace cml
}  // namespace qel
