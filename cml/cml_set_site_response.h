// CSetSiteResponse: the answer to a set-site request ("set-site-response" in
// "/cml/Message/AgentMessages" 1.0.4): the flag site-accessible (default false,
// always written) in a "set-site-response-info" child, then its policy sources.
// Owns its policy sources; one thread at a time.
#ifndef QEL_CML_SET_SITE_RESPONSE_H
#define QEL_CML_SET_SITE_RESPONSE_H

#include <memory>
#include <string>

#include "cml/cml_policy_source_list.h"
#include "cml/cml_response.h"

namespace qel {
namespace cml {

class CSetSiteResponse : public CCmlResponse {
 public:
  CSetSiteResponse();
  CSetSiteResponse(const CSetSiteResponse& other);
  ~CSetSiteResponse() override;

  std::unique_ptr<CCmlDocumentBase> Clone() const override;
  bool HasChildElements() const override { return true; }
  // The policy sources' namespaces only.
  void GetNamespaces(CNamespaceSet& set) const override;
  void Deserialize(const CCmlDOM_Element& element) override;
  void WriteChildElements(std::wostream& os, unsigned level) const override;
  void WriteChildElements(std::ostream& os, unsigned level) const override;

  virtual CSetSiteResponse& AssignSetSiteResponse(const CSetSiteResponse& other);
  bool GetSiteAccessible() const { return m_siteAccessible; }
  void SetSiteAccessible(bool v) { m_siteAccessible = v; }
  CPolicySource* GetPolicySource(std::size_t index) const { return m_policies.Get(index); }
  const CPolicySourceList& GetPolicySources() const { return m_policies; }
  CPolicySourceList& GetPolicySources() { return m_policies; }
  std::size_t GetPolicySourceCount() const { return m_policies.Count(); }
  void SetPolicySources(const CPolicySourceList& list) { m_policies.SetAll(list); }
  CPolicySource* AddPolicyNode(const CCmlDOM_Element& node) { return m_policies.AddNode(node); }
  CPolicySource* AddPolicySourceCopy(const CPolicySource& s) { return m_policies.AddCopy(s); }
  CPolicySource* AddPolicySource(CPolicySource* s) { return m_policies.Add(s); }
  // Stores the source unchanged.
  void SetPolicySource(std::size_t index, std::unique_ptr<CPolicySource> source);

  static void Register();

 private:
  void WriteChildren(CCmlOutput& out, unsigned level) const;

  bool m_siteAccessible = false;
  CPolicySourceList m_policies;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_SET_SITE_RESPONSE_H
