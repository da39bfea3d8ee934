#include "cml/cml_host_info.h"

#include "cml/cml_codes.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_serializer.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

CHostInfo::CHostInfo() : m_tag(vocab::kHostInfo) {}
CHostInfo::~CHostInfo() = default;

void CHostInfo::WriteElement(CCmlOutput& out, unsigned level) const {
  WriteOpenTag(out, level, m_tag, false);
  WriteAttribute(out, vocab::kOs, m_os);
  WriteAttribute(out, vocab::kVersion, m_version);
  const std::pair<const wchar_t*, const std::wstring*> optional[] = {
      {vocab::kIpAddress, &m_ipAddress}, {vocab::kHostName, &m_hostName},
      {vocab::kNbname, &m_nbName},       {vocab::kNbdomain, &m_nbDomain},
      {vocab::kAdObjectId, &m_adObjectId}, {vocab::kAdGroupId, &m_adGroupId}};
  for (const auto& attribute : optional) {
    if (!attribute.second->empty()) WriteAttribute(out, attribute.first, *attribute.second);
  }
  out << L"/>\n";
}

void CHostInfo::Deserialize(const CCmlDOM_Element& element) {
  if (element.IsNull()) {
    throw CCmlException(L"Deserializing host-info", L"Null element received",
                        qel::status::CML_NULL_ELEMENT);
  }
  WithDomErrors(L"Parsing agent-startup-announcement/get-agent-info-response host-info element",
                [&] {
                  m_os = element.getAttribute(vocab::kOs);
                  m_version = element.getAttribute(vocab::kVersion);
                  m_ipAddress = element.getAttribute(vocab::kIpAddress);
                  m_hostName = element.getAttribute(vocab::kHostName);
                  m_nbName = element.getAttribute(vocab::kNbname);
                  m_nbDomain = element.getAttribute(vocab::kNbdomain);
                  m_adObjectId = element.getAttribute(vocab::kAdObjectId);
                  m_adGroupId = element.getAttribute(vocab::kAdGroupId);
                });
}

}  // namespace cml
}  // namespace qel
