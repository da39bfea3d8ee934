// CAgentInfo: the short identity of a message's sender ("source") or receiver
// ("destination"): name, namespace, addresses, id, authentication texts and agent
// groups. A plain value; one thread at a time.
#ifndef QEL_CML_AGENT_INFO_H
#define QEL_CML_AGENT_INFO_H

#include <memory>
#include <set>
#include <string>
#include <utility>

#include "cml/cml_dom_element.h"
#include "cml/cml_output.h"

namespace qel {
namespace cml {

class CAgentInfo {
 public:
  CAgentInfo();
  explicit CAgentInfo(const std::wstring& tag);
  CAgentInfo(const CAgentInfo&) = default;
  CAgentInfo& operator=(const CAgentInfo&) = default;
  virtual ~CAgentInfo();

  std::unique_ptr<CAgentInfo> Clone() const;

  const std::wstring& GetTag() const { return m_tag; }
  const std::wstring& GetName() const { return m_name; }
  const std::wstring& GetNamespace() const { return m_namespace; }
  const std::wstring& GetIpAddress() const { return m_ipAddress; }
  const std::wstring& GetHostName() const { return m_hostName; }
  const std::wstring& GetAgentId() const { return m_agentId; }
  const std::wstring& GetAuthToken() const { return m_authToken; }
  const std::wstring& GetAuthHash() const { return m_authHash; }
  const std::set<std::wstring>& GetAgentGroups() const { return m_groups; }
  void SetTag(std::wstring v) { m_tag = std::move(v); }
  void SetName(std::wstring v) { m_name = std::move(v); }
  void SetNamespace(std::wstring v) { m_namespace = std::move(v); }
  void SetIpAddress(std::wstring v) { m_ipAddress = std::move(v); }
  void SetHostName(std::wstring v) { m_hostName = std::move(v); }
  void SetAgentId(std::wstring v) { m_agentId = std::move(v); }
  void SetAuthToken(std::wstring v) { m_authToken = std::move(v); }
  void SetAuthHash(std::wstring v) { m_authHash = std::move(v); }
  void AddAgentGroup(const std::wstring& group) { m_groups.insert(group); }
  void ClearAgentGroups() { m_groups.clear(); }

  // Attributes when not empty; one "agent-group" child per group.
  virtual void WriteElement(CCmlOutput& out, unsigned level) const;
  virtual void Deserialize(const CCmlDOM_Element& element);

 private:
  std::wstring m_tag;
  std::wstring m_name;
  std::wstring m_namespace;
  std::wstring m_ipAddress;
  std::wstring m_hostName;
  std::wstring m_agentId;
  std::wstring m_authToken;
  std::wstring m_authHash;
  std::set<std::wstring> m_groups;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_AGENT_INFO_H
