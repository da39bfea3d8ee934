#include "cml/cml_agent_info_content.h"

#include <xercesc/dom/DOMNode.hpp>

#include "cml/cml_dom_error.h"
#include "cml/cml_exception.h"
#include "cml/cml_schema_version.h"
#include "cml/cml_serializer.h"
#include "cml/cml_settings.h"
#include "cml/cml_status_text.h"
#include "cml/cml_uris.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

namespace {
const wchar_t kReadOperation[] = L"Parsing agent-info response element";
const CPolicySourceList::Texts kTexts = {L"Getting policy source from agent info content",
                                         L"Setting policy source for agent info content"};

int ReadTriState(const std::wstring& text) {
  if (text == vocab::kTrue) return kTriTrue;
  if (text == vocab::kFalse) return kTriFalse;
  return kTriNotStated;
}

bool IsContentNamespace(const std::wstring& uri) {
  return uri == uri::kAgentMessages || uri == uri::kCml;
}
}  // namespace

CAgentInfoContent::CAgentInfoContent() : m_policies(kTexts) {}

CAgentInfoContent::CAgentInfoContent(
    const std::wstring& name, const std::wstring& agentId, const std::wstring& agentNamespace,
    const std::wstring& version, const std::wstring& model, const std::wstring& tqeVersion,
    const std::wstring& agentInstallPath, const std::wstring& daemonInstallPath,
    const std::wstring& groupnameHint, bool useLocalSettings, bool sendNewSchemas,
    std::uint32_t agentStatus, const std::wstring& lastTqePath, std::uint32_t tqeStatus,
    const std::wstring& tqeStatusDescription, const std::wstring& registerAgent,
    int persistentConnection, int reverseConnection, const std::wstring& contentNamespace,
    const std::wstring& contentSchemaVersion, const std::wstring& lastRestart)
    : m_name(name), m_agentId(agentId), m_agentNamespace(agentNamespace), m_version(version),
      m_model(model), m_tqeVersion(tqeVersion), m_agentInstallPath(agentInstallPath),
      m_daemonInstallPath(daemonInstallPath), m_lastTqePath(lastTqePath),
      m_groupnameHint(groupnameHint), m_lastRestart(lastRestart),
      m_tqeStatusDescription(tqeStatusDescription), m_registerAgent(registerAgent),
      m_contentNamespace(contentNamespace), m_contentSchemaVersion(contentSchemaVersion),
      m_agentStatus(agentStatus), m_tqeStatus(tqeStatus), m_useLocalSettings(useLocalSettings),
      m_sendNewSchemas(sendNewSchemas), m_persistentConnection(persistentConnection),
      m_reverseConnection(reverseConnection), m_policies(kTexts) {}
CAgentInfoContent::~CAgentInfoContent() = default;

const CContentDate& CAgentInfoContent::GetContentDate(std::size_t index) const {
  if (index >= m_contentDates.size()) {
    throw CCmlException(L"Getting content date", L"Invalid vector index",
                        qel::status::CML_INVALID_INDEX);
  }
  return m_contentDates[index];
}

void CAgentInfoContent::GetNamespaces(CNamespaceSet& set) const { m_policies.GetNamespaces(set); }

bool CAgentInfoContent::GateOpen() const {
  if (m_contentNamespace != uri::kCml) return true;
  SchemaVersionRelation r = CompareSchemaVersions(m_contentSchemaVersion, L"2.4.2");
  return r == SchemaVersionRelation::Equal || r == SchemaVersionRelation::NewerPatch;
}

void CAgentInfoContent::WriteAttributes(CCmlOutput& out) const {
  const bool defaults = GetWriteDefaults();
  auto optional = [&](const wchar_t* name, const std::wstring& value) {
    if (!value.empty()) WriteAttribute(out, name, value);
  };
  WriteAttribute(out, vocab::kName, m_name);
  WriteAttribute(out, vocab::kAgentId, m_agentId);
  WriteAttribute(out, vocab::kNamespace, m_agentNamespace);
  WriteAttribute(out, vocab::kVersion, m_version);
  optional(vocab::kModel, m_model);
  optional(vocab::kTqeVersion, m_tqeVersion);
  optional(vocab::kAgentInstallPath, m_agentInstallPath);
  optional(vocab::kDaemonInstallPath, m_daemonInstallPath);
  if (m_agentStatus != codes::kStatusAbsent) {
    WriteAttribute(out, vocab::kAgentStatus, HexCode(m_agentStatus));
    WriteAttribute(out, vocab::kStatusText, StatusText(m_agentStatus));
  }
  optional(vocab::kLastTqePath, m_lastTqePath);
  optional(vocab::kGroupnameHint, m_groupnameHint);
  if (m_useLocalSettings || defaults) {
    WriteAttribute(out, vocab::kUseLocalSettings, BoolText(m_useLocalSettings));
  }
  optional(vocab::kLastRestart, m_lastRestart);
  if (!m_sendNewSchemas || defaults) {
    WriteAttribute(out, vocab::kSendNewSchemas, BoolText(m_sendNewSchemas));
  }
  if (!GateOpen()) return;
  if (m_tqeStatus != codes::kStatusAbsent) {
    WriteAttribute(out, vocab::kTqeStatus, std::to_wstring(m_tqeStatus));
  }
  optional(vocab::kTqeStatusDescription, m_tqeStatusDescription);
  optional(vocab::kRegisterAgent, m_registerAgent);
  if (m_persistentConnection != kTriNotStated) {
    WriteAttribute(out, vocab::kPersistentConnection, BoolText(m_persistentConnection == kTriTrue));
  }
  if (m_reverseConnection != kTriNotStated) {
    WriteAttribute(out, vocab::kReverseConnection, BoolText(m_reverseConnection == kTriTrue));
  }
}

template <class Record>
void CAgentInfoContent::WriteList(CCmlOutput& out, unsigned level, const wchar_t* listName,
                                  const std::vector<Record>& records) const {
  if (records.empty()) return;
  WriteOpenTag(out, level, listName);
  out << L">\n";
  for (const Record& record : records) record.WriteElement(out, level + 1);
  WriteEndTag(out, level, listName);
}

void CAgentInfoContent::WriteChildElements(CCmlOutput& out, unsigned level) const {
  m_hostInfo.WriteElement(out, level);
  WriteList(out, level, vocab::kSchemaList, m_schemas);
  WriteList(out, level, vocab::kContentDateList, m_contentDates);
  WriteList(out, level, vocab::kModuleList, m_modules);
  WriteList(out, level, vocab::kUpdateList, m_updates);
  const std::pair<const wchar_t*, const std::wstring*> texts[] = {
      {vocab::kCopyrightInfo, &m_copyrightInfo}, {vocab::kPatentInfo, &m_patentInfo}};
  for (const auto& text : texts) {
    if (text.second->empty()) continue;
    WriteOpenTag(out, level, text.first);
    out << L">";
    out.Escaped(*text.second, false);
    out << L"</" << text.first << L">\n";
  }
  m_policies.Write(out, level);
}

void CAgentInfoContent::ReadAttributes(const CCmlDOM_Element& e) {
  m_name = e.getAttribute(vocab::kName);
  m_agentId = e.getAttribute(vocab::kAgentId);
  m_agentNamespace = e.getAttribute(vocab::kNamespace);
  m_version = e.getAttribute(vocab::kVersion);
  m_model = e.getAttribute(vocab::kModel);
  m_tqeVersion = e.getAttribute(vocab::kTqeVersion);
  m_agentInstallPath = e.getAttribute(vocab::kAgentInstallPath);
  m_daemonInstallPath = e.getAttribute(vocab::kDaemonInstallPath);
  m_lastTqePath = e.getAttribute(vocab::kLastTqePath);
  m_groupnameHint = e.getAttribute(vocab::kGroupnameHint);
  m_lastRestart = e.getAttribute(vocab::kLastRestart);
  m_tqeStatusDescription = e.getAttribute(vocab::kTqeStatusDescription);
  m_registerAgent = e.getAttribute(vocab::kRegisterAgent);
  m_useLocalSettings = e.getAttribute(vocab::kUseLocalSettings) == vocab::kTrue;
  m_sendNewSchemas = e.getAttribute(vocab::kSendNewSchemas) != vocab::kFalse;
  m_persistentConnection = ReadTriState(e.getAttribute(vocab::kPersistentConnection));
  m_reverseConnection = ReadTriState(e.getAttribute(vocab::kReverseConnection));
  m_agentStatus = ParseUnsignedOr(e.getAttribute(vocab::kAgentStatus), codes::kStatusAbsent);
  m_tqeStatus = ParseUnsignedOr(e.getAttribute(vocab::kTqeStatus), codes::kStatusAbsent);
}

template <class Record>
void CAgentInfoContent::ReadList(const CCmlDOM_Element& list, const wchar_t* entryName,
                                 std::vector<Record>& records) {
  for (CCmlDOM_Node node = list.getFirstChild(); !node.IsNull(); node = node.getNextSibling()) {
    if (node.getNodeType() != xercesc::DOMNode::ELEMENT_NODE) continue;
    CCmlDOM_Element entry(node);
    if (!IsContentNamespace(entry.getNamespaceURI()) || entry.getLocalName() != entryName) continue;
    Record record;
    record.Deserialize(entry);
    records.push_back(std::move(record));
  }
}

void CAgentInfoContent::ReadChild(const CCmlDOM_Element& child) {
  if (!IsContentNamespace(child.getNamespaceURI())) {
    m_policies.AddNode(child);
    return;
  }
  const std::wstring name = child.getLocalName();
  if (name == vocab::kHostInfo) {
    m_hostInfo.Deserialize(child);
  } else if (name == vocab::kSchemaList) {
    ReadList(child, vocab::kSchemaInfo, m_schemas);
  } else if (name == vocab::kContentDateList) {
    ReadList(child, vocab::kContentDate, m_contentDates);
  } else if (name == vocab::kModuleList) {
    ReadList(child, vocab::kModule, m_modules);
  } else if (name == vocab::kUpdateList) {
    ReadList(child, vocab::kUpdate, m_updates);
  } else if (name == vocab::kCopyrightInfo) {
    m_copyrightInfo = child.getTextContent();
  } else if (name == vocab::kPatentInfo) {
    m_patentInfo = child.getTextContent();
  }
}

void CAgentInfoContent::Deserialize(const CCmlDOM_Element& element) {
  if (element.IsNull()) {
    throw CCmlException(kReadOperation, L"Null element received", qel::status::CML_NULL_ELEMENT);
  }
  // What the element holds replaces what was read before: reading twice gives the same.
  m_hostInfo = CHostInfo();
  m_schemas.clear();
  m_contentDates.clear();
  m_modules.clear();
  m_updates.clear();
  m_copyrightInfo.clear();
  m_patentInfo.clear();
  m_policies.Clear();
  WithDomErrors(kReadOperation, [&] {
    ReadAttributes(element);
    for (CCmlDOM_Node node = element.getFirstChild(); !node.IsNull();
         node = node.getNextSibling()) {
      if (node.getNodeType() == xercesc::DOMNode::ELEMENT_NODE) ReadChild(CCmlDOM_Element(node));
    }
  });
}

}  // namespace cml
}  // namespace qel
