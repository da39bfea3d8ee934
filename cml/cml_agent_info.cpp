#include "cml/cml_agent_info.h"

#include <utility>

#include <xercesc/dom/DOMNode.hpp>

#include "cml/cml_codes.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_memory.h"
#include "cml/cml_serializer.h"
#include "cml/cml_uris.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

CAgentInfo::CAgentInfo() : m_tag(vocab::kAgent) {}
CAgentInfo::CAgentInfo(const std::wstring& tag) : m_tag(tag) {}
CAgentInfo::~CAgentInfo() = default;

std::unique_ptr<CAgentInfo> CAgentInfo::Clone() const {
  return GuardedClone<CAgentInfo>(*this, L"Cloning agent info object");
}

void CAgentInfo::WriteElement(CCmlOutput& out, unsigned level) const {
  WriteOpenTag(out, level, m_tag, false);
  const std::pair<const wchar_t*, const std::wstring*> attributes[] = {
      {vocab::kName, &m_name},         {vocab::kNamespace, &m_namespace},
      {vocab::kIpAddress, &m_ipAddress}, {vocab::kHostName, &m_hostName},
      {vocab::kAgentId, &m_agentId},   {vocab::kAuthToken, &m_authToken},
      {vocab::kAuthHash, &m_authHash}};
  for (const auto& attribute : attributes) {
    if (!attribute.second->empty()) WriteAttribute(out, attribute.first, *attribute.second);
  }
  if (m_groups.empty()) {
    out << L"/>\n";
    return;
  }
  out << L">\n";
  // Groups carry their namespace so that they read back as agent groups.
  for (const std::wstring& group : m_groups) {
    WriteOpenTag(out, level + 1, vocab::kAgentGroup);
    WriteAttribute(out, vocab::kXmlns, uri::kCdProperty);
    WriteAttribute(out, vocab::kName, group);
    out << L"/>\n";
  }
  WriteEndTag(out, level, m_tag);
}

void CAgentInfo::Deserialize(const CCmlDOM_Element& element) {
  if (element.IsNull()) {
    throw CCmlException(L"Processing agent-info element", L"Null element received",
                        qel::status::CML_NULL_ELEMENT);
  }
  WithDomErrors(L"Processing agent-info element", [&] {
    m_name = element.getAttribute(vocab::kName);
    m_namespace = element.getAttribute(vocab::kNamespace);
    m_ipAddress = element.getAttribute(vocab::kIpAddress);
    m_hostName = element.getAttribute(vocab::kHostName);
    m_agentId = element.getAttribute(vocab::kAgentId);
    m_authToken = element.getAttribute(vocab::kAuthToken);
    m_authHash = element.getAttribute(vocab::kAuthHash);
    for (CCmlDOM_Node child = element.getFirstChild(); !child.IsNull();
         child = child.getNextSibling()) {
      if (child.getNodeType() != xercesc::DOMNode::ELEMENT_NODE) continue;
      CCmlDOM_Element group(child);
      if (group.getNamespaceURI() == uri::kCdProperty &&
          group.getLocalName() == vocab::kAgentGroup) {
        m_groups.insert(group.getAttribute(vocab::kName));
      }
    }
  });
}

}  // namespace cml
}  // namespace qel
