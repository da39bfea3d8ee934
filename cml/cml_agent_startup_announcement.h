// CAgentStartupAnnouncement: the request in which an agent describes itself
// ("agent-startup-announcement" in "/cml/Message/AgentMessages" 1.0.4). Its
// attributes follow the request attributes and its children are those of the agent
// information content it holds. Setting its namespace or schema version also sets
// the content's. Owns its content; one thread at a time.
#ifndef QEL_CML_AGENT_STARTUP_ANNOUNCEMENT_H
#define QEL_CML_AGENT_STARTUP_ANNOUNCEMENT_H

#include <memory>
#include <string>

#include "cml/cml_agent_info_content.h"
#include "cml/cml_request.h"

namespace qel {
namespace cml {

class CAgentStartupAnnouncement : public CCmlRequest {
 public:
  CAgentStartupAnnouncement();
  CAgentStartupAnnouncement(const std::wstring& tag, const std::wstring& ns,
                            const std::wstring& version, const std::wstring& requestId,
                            bool needReply, const CAgentInfoContent& content);
  CAgentStartupAnnouncement(const CAgentStartupAnnouncement& other);
  ~CAgentStartupAnnouncement() override;

  std::unique_ptr<CCmlDocumentBase> Clone() const override;
  void SetNamespace(const std::wstring& uri) override;
  void SetSchemaVersion(const std::wstring& version) override;
  bool HasChildElements() const override { return m_content.HasChildElements(); }
  // Its own pair, then the content's namespaces.
  void GetNamespaces(CNamespaceSet& set) const override;
  void Deserialize(const CCmlDOM_Element& element) override;
  // The request attributes, then the content's.
  void WriteStandardAttributes(std::wostream& os) const override;
  void WriteStandardAttributes(std::ostream& os) const override;
  void WriteChildElements(std::wostream& os, unsigned level) const override;
  void WriteChildElements(std::ostream& os, unsigned level) const override;

  virtual CAgentStartupAnnouncement& AssignAnnouncement(const CAgentStartupAnnouncement& other);
  CAgentInfoContent& GetContent() { return m_content; }
  const CAgentInfoContent& GetContent() const { return m_content; }

  // Registers the prototype (RegisterAgentMessage) and the AVP sections policies that
  // the status details of the content's modules convert to.
  static void Register();

 private:
  CAgentInfoContent m_content;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_AGENT_STARTUP_ANNOUNCEMENT_H
