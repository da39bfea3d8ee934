#include "cml/cml_module_info.h"

#include <xercesc/dom/DOMNode.hpp>

#include "cml/cml_avp_sections.h"
#include "cml/cml_deserialize.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_policy_node.h"
#include "cml/cml_schema_version.h"
#include "cml/cml_serializer.h"
#include "cml/cml_status_text.h"
#include "cml/cml_uris.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

namespace {
const CPolicySourceList::Texts kTexts = {L"Getting policy source from set-policy-request",
                                         L"Setting set-policy-request policy source"};
}

CModuleInfo::CModuleInfo() : m_tag(vocab::kModule), m_policies(kTexts) {}
CModuleInfo::CModuleInfo(const std::wstring& name, const std::wstring& version,
                         std::uint32_t status)
    : m_tag(vocab::kModule), m_name(name), m_version(version), m_status(status),
      m_policies(kTexts) {}
CModuleInfo::~CModuleInfo() = default;

void CModuleInfo::WriteElement(CCmlOutput& out, unsigned level) const {
  WriteOpenTag(out, level, m_tag, false);
  WriteAttribute(out, vocab::kName, m_name);
  WriteAttribute(out, vocab::kVersion, m_version);
  if (m_status != codes::kStatusAbsent) {
    WriteAttribute(out, vocab::kStatus, HexCode(m_status));
    WriteAttribute(out, vocab::kStatusText, StatusText(m_status));
  }
  if (m_policies.Count() == 0) {
    out << L"/>\n";
    return;
  }
  out << L">\n";
  m_policies.Write(out, level + 1);
  WriteEndTag(out, level, m_tag);
}

void CModuleInfo::Deserialize(const CCmlDOM_Element& element) {
  WithDomErrors(L"Parsing agent-startup-announcement/get-agent-info-response module element",
                [&] {
                  m_name = element.getAttribute(vocab::kName);
                  m_version = element.getAttribute(vocab::kVersion);
                  m_status = ParseUnsignedOr(element.getAttribute(vocab::kStatus),
                                             codes::kStatusAbsent);
                  m_policies.Clear();
                  for (CCmlDOM_Node child = element.getFirstChild(); !child.IsNull();
                       child = child.getNextSibling()) {
                    if (child.getNodeType() == xercesc::DOMNode::ELEMENT_NODE) {
                      m_policies.AddNode(CCmlDOM_Element(child));
                    }
                  }
                });
}

void CModuleInfo::ConvertStatusDetails(const std::wstring& messageNamespace) {
  const std::wstring target =
      messageNamespace == uri::kCdAgentStatusDetails ? uri::kCdRoAvpSections : uri::kRoAvpSections;
  for (std::size_t i = 0; i < m_policies.Count(); ++i) {
    const auto* node = dynamic_cast<const CPolicyNode*>(m_policies.Get(i));
    if (node == nullptr || node->GetNamespace() == target) continue;
    std::unique_ptr<CCmlDocumentBase> document =
        DeserializeParsedDocument(node->GetElement(), FactoryLookup::LatestCompatible);
    auto* sections = dynamic_cast<CCmlAvpSections*>(document.get());
    if (sections == nullptr) continue;
    document.release();
    sections->SetNamespace(target);
    m_policies.Set(i, std::unique_ptr<CPolicySource>(sections));
  }
}

}  // namespace cml
}  // namespace qel
