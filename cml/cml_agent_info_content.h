// CAgentInfoContent: the full description an agent reports about itself (identity,
// installation, status, connection settings, host information, content dates,
// modules, updates, informational texts, policy sources). It is the content of the
// agent startup announcement, which writes its attributes into its own start tag
// and its children below it. Owns its records and policy sources; one thread.
#ifndef QEL_CML_AGENT_INFO_CONTENT_H
#define QEL_CML_AGENT_INFO_CONTENT_H

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cml/cml_codes.h"
#include "cml/cml_content_date.h"
#include "cml/cml_dom_element.h"
#include "cml/cml_host_info.h"
#include "cml/cml_module_info.h"
#include "cml/cml_namespace.h"
#include "cml/cml_output.h"
#include "cml/cml_policy_source_list.h"
#include "cml/cml_schema_info.h"
#include "cml/cml_update_info.h"

namespace qel {
namespace cml {

// Tri-state values of the connection settings.
enum TriState : int { kTriTrue = 1, kTriFalse = 2, kTriNotStated = 3 };

class CAgentInfoContent {
 public:
  CAgentInfoContent();
  // Every field that is not a list; the host information starts empty ("host-info"),
  // the lists and the informational texts empty.
  CAgentInfoContent(const std::wstring& name, const std::wstring& agentId,
                    const std::wstring& agentNamespace, const std::wstring& version,
                    const std::wstring& model, const std::wstring& tqeVersion,
                    const std::wstring& agentInstallPath, const std::wstring& daemonInstallPath,
                    const std::wstring& groupnameHint, bool useLocalSettings, bool sendNewSchemas,
                    std::uint32_t agentStatus, const std::wstring& lastTqePath,
                    std::uint32_t tqeStatus, const std::wstring& tqeStatusDescription,
                    const std::wstring& registerAgent, int persistentConnection,
                    int reverseConnection, const std::wstring& contentNamespace,
                    const std::wstring& contentSchemaVersion, const std::wstring& lastRestart);
  CAgentInfoContent(const CAgentInfoContent&) = default;
  CAgentInfoContent(CAgentInfoContent&&) = default;
  CAgentInfoContent& operator=(const CAgentInfoContent&) = default;
  CAgentInfoContent& operator=(CAgentInfoContent&&) = default;
  virtual ~CAgentInfoContent();

#define QEL_CML_TEXT_FIELD(Name, member) \
  const std::wstring& Get##Name() const { return member; } \
  void Set##Name(std::wstring v) { member = std::move(v); }
  QEL_CML_TEXT_FIELD(Name, m_name)
  QEL_CML_TEXT_FIELD(AgentId, m_agentId)
  QEL_CML_TEXT_FIELD(AgentNamespace, m_agentNamespace)
  QEL_CML_TEXT_FIELD(Version, m_version)
  QEL_CML_TEXT_FIELD(Model, m_model)
  QEL_CML_TEXT_FIELD(TqeVersion, m_tqeVersion)
  QEL_CML_TEXT_FIELD(AgentInstallPath, m_agentInstallPath)
  QEL_CML_TEXT_FIELD(DaemonInstallPath, m_daemonInstallPath)
  QEL_CML_TEXT_FIELD(LastTqePath, m_lastTqePath)
  QEL_CML_TEXT_FIELD(GroupnameHint, m_groupnameHint)
  QEL_CML_TEXT_FIELD(LastRestart, m_lastRestart)
  QEL_CML_TEXT_FIELD(TqeStatusDescription, m_tqeStatusDescription)
  QEL_CML_TEXT_FIELD(RegisterAgent, m_registerAgent)
  QEL_CML_TEXT_FIELD(ContentNamespace, m_contentNamespace)
  QEL_CML_TEXT_FIELD(ContentSchemaVersion, m_contentSchemaVersion)
  QEL_CML_TEXT_FIELD(CopyrightInfo, m_copyrightInfo)
  QEL_CML_TEXT_FIELD(PatentInfo, m_patentInfo)
#undef QEL_CML_TEXT_FIELD

  std::uint32_t GetAgentStatus() const { return m_agentStatus; }
  void SetAgentStatus(std::uint32_t v) { m_agentStatus = v; }
  std::uint32_t GetTqeStatus() const { return m_tqeStatus; }
  void SetTqeStatus(std::uint32_t v) { m_tqeStatus = v; }
  bool GetUseLocalSettings() const { return m_useLocalSettings; }
  void SetUseLocalSettings(bool v) { m_useLocalSettings = v; }
  bool GetSendNewSchemas() const { return m_sendNewSchemas; }
  void SetSendNewSchemas(bool v) { m_sendNewSchemas = v; }
  int GetPersistentConnection() const { return m_persistentConnection; }
  void SetPersistentConnection(int v) { m_persistentConnection = v; }
  int GetReverseConnection() const { return m_reverseConnection; }
  void SetReverseConnection(int v) { m_reverseConnection = v; }

  CHostInfo& GetHostInfo() { return m_hostInfo; }
  const CHostInfo& GetHostInfo() const { return m_hostInfo; }
  std::vector<CSchemaInfo>& GetSchemas() { return m_schemas; }
  const std::vector<CSchemaInfo>& GetSchemas() const { return m_schemas; }
  std::vector<CContentDate>& GetContentDates() { return m_contentDates; }
  const std::vector<CContentDate>& GetContentDates() const { return m_contentDates; }
  // Index not below the count: CCmlException 0xC738000B ("Getting content date").
  const CContentDate& GetContentDate(std::size_t index) const;
  std::vector<CModuleInfo>& GetModules() { return m_modules; }
  const std::vector<CModuleInfo>& GetModules() const { return m_modules; }
  std::vector<CUpdateInfo>& GetUpdates() { return m_updates; }
  const std::vector<CUpdateInfo>& GetUpdates() const { return m_updates; }
  CPolicySourceList& GetPolicySources() { return m_policies; }
  const CPolicySourceList& GetPolicySources() const { return m_policies; }
  // The policy list operations of the set-site messages; index errors name the
  // content ("Getting policy source from agent info content", 0xC738000B).
  CPolicySource* GetPolicySource(std::size_t index) const { return m_policies.Get(index); }
  std::size_t GetPolicySourceCount() const { return m_policies.Count(); }
  void SetPolicySources(const CPolicySourceList& list) { m_policies.SetAll(list); }
  CPolicySource* AddPolicyNode(const CCmlDOM_Element& node) { return m_policies.AddNode(node); }
  CPolicySource* AddPolicySourceCopy(const CPolicySource& s) { return m_policies.AddCopy(s); }
  CPolicySource* AddPolicySource(CPolicySource* s) { return m_policies.Add(s); }
  void SetPolicySource(std::size_t index, std::unique_ptr<CPolicySource> source) {
    m_policies.Set(index, std::move(source));
  }

  // The policy sources' namespaces.
  virtual void GetNamespaces(CNamespaceSet& set) const;
  virtual void WriteAttributes(CCmlOutput& out) const;
  virtual void WriteChildElements(CCmlOutput& out, unsigned level) const;
  virtual bool HasChildElements() const { return true; }  // host-info is always written
  virtual void Deserialize(const CCmlDOM_Element& element);

 private:
  bool GateOpen() const;
  void ReadAttributes(const CCmlDOM_Element& element);
  void ReadChild(const CCmlDOM_Element& child);
  template <class Record>
  void ReadList(const CCmlDOM_Element& list, const wchar_t* entryName,
                std::vector<Record>& records);
  template <class Record>
  void WriteList(CCmlOutput& out, unsigned level, const wchar_t* listName,
                 const std::vector<Record>& records) const;

  std::wstring m_name, m_agentId, m_agentNamespace, m_version, m_model, m_tqeVersion;
  std::wstring m_agentInstallPath, m_daemonInstallPath, m_lastTqePath, m_groupnameHint;
  std::wstring m_lastRestart, m_tqeStatusDescription, m_registerAgent;
  std::wstring m_contentNamespace, m_contentSchemaVersion, m_copyrightInfo, m_patentInfo;
  std::uint32_t m_agentStatus = codes::kStatusAbsent;
  std::uint32_t m_tqeStatus = codes::kStatusAbsent;
  bool m_useLocalSettings = false;
  bool m_sendNewSchemas = true;
  int m_persistentConnection = kTriNotStated;
  int m_reverseConnection = kTriNotStated;
  CHostInfo m_hostInfo;
  std::vector<CSchemaInfo> m_schemas;
  std::vector<CContentDate> m_contentDates;
  std::vector<CModuleInfo> m_modules;
  std::vector<CUpdateInfo> m_updates;
  CPolicySourceList m_policies;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_AGENT_INFO_CONTENT_H
