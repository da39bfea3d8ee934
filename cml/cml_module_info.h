// CModuleInfo: one installed module ("module": name, version, status) with its
// status details as policy sources. Owns its policy sources; one thread at a time.
#ifndef QEL_CML_MODULE_INFO_H
#define QEL_CML_MODULE_INFO_H

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "cml/cml_codes.h"
#include "cml/cml_dom_element.h"
#include "cml/cml_output.h"
#include "cml/cml_policy_source_list.h"

namespace qel {
namespace cml {

class CModuleInfo {
 public:
  CModuleInfo();
  CModuleInfo(const std::wstring& name, const std::wstring& version, std::uint32_t status);
  virtual ~CModuleInfo();

  const std::wstring& GetTag() const { return m_tag; }
  const std::wstring& GetName() const { return m_name; }
  const std::wstring& GetVersion() const { return m_version; }
  std::uint32_t GetStatus() const { return m_status; }
  void SetName(std::wstring v) { m_name = std::move(v); }
  void SetVersion(std::wstring v) { m_version = std::move(v); }
  void SetStatus(std::uint32_t v) { m_status = v; }
  CPolicySourceList& GetPolicySources() { return m_policies; }
  const CPolicySourceList& GetPolicySources() const { return m_policies; }
  // The policy list operations of the set-site messages; index errors name the
  // module's list ("Getting policy source from set-policy-request", 0xC738000B).
  CPolicySource* GetPolicySource(std::size_t index) const { return m_policies.Get(index); }
  std::size_t GetPolicySourceCount() const { return m_policies.Count(); }
  void SetPolicySources(const CPolicySourceList& list) { m_policies.SetAll(list); }
  CPolicySource* AddPolicyNode(const CCmlDOM_Element& node) { return m_policies.AddNode(node); }
  CPolicySource* AddPolicySourceCopy(const CPolicySource& s) { return m_policies.AddCopy(s); }
  CPolicySource* AddPolicySource(CPolicySource* s) { return m_policies.Add(s); }
  void SetPolicySource(std::size_t index, std::unique_ptr<CPolicySource> source) {
    m_policies.Set(index, std::move(source));
  }

  virtual void WriteElement(CCmlOutput& out, unsigned level) const;
  // Reads name, version, status; replaces the policy sources by the element children.
  virtual void Deserialize(const CCmlDOM_Element& element);
  // Status details of AVP sections kept as policy nodes become AVP sections policies
  // in the read-only namespace: "/cml/CommonDocuments/RoAvpSections" when
  // `messageNamespace` is "/cml/CommonDocuments/AgentStatusDetails", else
  // "/cml/RoAvpSections". Each node in another namespace than that is read through the
  // class factory; an AVP sections result replaces the node, anything else is dropped
  // and the node stays.
  void ConvertStatusDetails(const std::wstring& messageNamespace);

 private:
  std::wstring m_tag;
  std::wstring m_name;
  std::wstring m_version;
  std::uint32_t m_status = codes::kStatusAbsent;
  CPolicySourceList m_policies;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_MODULE_INFO_H
