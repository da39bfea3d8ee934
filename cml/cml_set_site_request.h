// CSetSiteRequest: request telling an agent to join a site ("set-site-request" in
// "/cml/Message/AgentMessages" 1.0.4): flags set-site (default true) and
// override-site (default false) in a "set-site-request-info" child, then its
// policy sources. Owns its policy sources; one thread at a time.
#ifndef QEL_CML_SET_SITE_REQUEST_H
#define QEL_CML_SET_SITE_REQUEST_H

#include <memory>
#include <string>

#include "cml/cml_policy_source_list.h"
#include "cml/cml_request.h"

namespace qel {
namespace cml {

class CSetSiteRequest : public CCmlRequest {
 public:
  CSetSiteRequest();
  CSetSiteRequest(const CSetSiteRequest& other);
  ~CSetSiteRequest() override;

  std::unique_ptr<CCmlDocumentBase> Clone() const override;
  bool HasChildElements() const override { return true; }
  // The policy sources' namespaces only.
  void GetNamespaces(CNamespaceSet& set) const override;
  void Deserialize(const CCmlDOM_Element& element) override;
  void WriteChildElements(std::wostream& os, unsigned level) const override;
  void WriteChildElements(std::ostream& os, unsigned level) const override;

  virtual CSetSiteRequest& AssignSetSiteRequest(const CSetSiteRequest& other);
  bool GetSetSite() const { return m_setSite; }
  bool GetOverrideSite() const { return m_overrideSite; }
  void SetSetSite(bool v) { m_setSite = v; }
  void SetOverrideSite(bool v) { m_overrideSite = v; }
  CPolicySource* GetPolicySource(std::size_t index) const { return m_policies.Get(index); }
  const CPolicySourceList& GetPolicySources() const { return m_policies; }
  CPolicySourceList& GetPolicySources() { return m_policies; }
  std::size_t GetPolicySourceCount() const { return m_policies.Count(); }
  void SetPolicySources(const CPolicySourceList& list) { m_policies.SetAll(list); }
  CPolicySource* AddPolicyNode(const CCmlDOM_Element& node) { return m_policies.AddNode(node); }
  CPolicySource* AddPolicySourceCopy(const CPolicySource& s) { return m_policies.AddCopy(s); }
  CPolicySource* AddPolicySource(CPolicySource* s) { return m_policies.Add(s); }
  // A group settings source first gets schema version "2.3.3".
  void SetPolicySource(std::size_t index, std::unique_ptr<CPolicySource> source);

  static void Register();

 private:
  void WriteChildren(CCmlOutput& out, unsigned level) const;

  bool m_setSite = true;
  bool m_overrideSite = false;
  CPolicySourceList m_policies;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_SET_SITE_REQUEST_H
