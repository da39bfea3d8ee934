#include "cml/cml_agent_startup_announcement.h"

#include "cml/cml_avp_sections.h"
#include "cml/cml_class_factory.h"
#include "cml/cml_memory.h"
#include "cml/cml_uris.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

CAgentStartupAnnouncement::CAgentStartupAnnouncement()
    : CCmlRequest(vocab::kAgentStartupAnnouncement, uri::kAgentMessages,
                  version::kAgentMessages) {
  m_content.SetContentNamespace(uri::kAgentMessages);
  m_content.SetContentSchemaVersion(version::kAgentMessages);
}

CAgentStartupAnnouncement::CAgentStartupAnnouncement(const std::wstring& tag,
                                                     const std::wstring& ns,
                                                     const std::wstring& version,
                                                     const std::wstring& requestId,
                                                     bool needReply,
                                                     const CAgentInfoContent& content)
    : CCmlRequest(tag, ns, version, requestId, needReply), m_content(content) {
  m_content.SetContentNamespace(ns);
  m_content.SetContentSchemaVersion(version);
}

CAgentStartupAnnouncement::CAgentStartupAnnouncement(const CAgentStartupAnnouncement& other) =
    default;
CAgentStartupAnnouncement::~CAgentStartupAnnouncement() = default;

std::unique_ptr<CCmlDocumentBase> CAgentStartupAnnouncement::Clone() const {
  return GuardedClone<CCmlDocumentBase>(*this, L"Cloning agent-startup-announcement object");
}

CAgentStartupAnnouncement& CAgentStartupAnnouncement::AssignAnnouncement(
    const CAgentStartupAnnouncement& other) {
  if (&other != this) {
    CCmlRequest::Assign(other);
    m_content = other.m_content;
  }
  return *this;
}

void CAgentStartupAnnouncement::SetNamespace(const std::wstring& uri) {
  CCmlRequest::SetNamespace(uri);
  m_content.SetContentNamespace(uri);
}

void CAgentStartupAnnouncement::SetSchemaVersion(const std::wstring& version) {
  CCmlRequest::SetSchemaVersion(version);
  m_content.SetContentSchemaVersion(version);
}

void CAgentStartupAnnouncement::GetNamespaces(CNamespaceSet& set) const {
  CCmlRequest::GetNamespaces(set);
  m_content.GetNamespaces(set);
}

void CAgentStartupAnnouncement::Deserialize(const CCmlDOM_Element& element) {
  CCmlRequest::Deserialize(element);
  m_content.Deserialize(element);
}

void CAgentStartupAnnouncement::WriteStandardAttributes(std::wostream& os) const {
  CCmlRequest::WriteStandardAttributes(os);
  WriteThrough(os, [this](CCmlOutput& out) { m_content.WriteAttributes(out); });
}

void CAgentStartupAnnouncement::WriteStandardAttributes(std::ostream& os) const {
  CCmlRequest::WriteStandardAttributes(os);
  WriteThrough(os, [this](CCmlOutput& out) { m_content.WriteAttributes(out); });
}

void CAgentStartupAnnouncement::WriteChildElements(std::wostream& os, unsigned level) const {
  WriteThrough(os, [&](CCmlOutput& out) { m_content.WriteChildElements(out, level); });
}

void CAgentStartupAnnouncement::WriteChildElements(std::ostream& os, unsigned level) const {
  WriteThrough(os, [&](CCmlOutput& out) { m_content.WriteChildElements(out, level); });
}

void CAgentStartupAnnouncement::Register() {
  RegisterAgentMessage(vocab::kAgentStartupAnnouncement, CAgentStartupAnnouncement());
  // The modules of its content convert their status details to AVP sections.
  CCmlAvpSections::Register();
}

}  // namespace cml
}  // namespace qel
