// CCmlPolicy: abstract base of the parsed policies (type 1). Keeps the standard
// policy attributes name, version, overwrite (default false) and valid (default
// true); concrete policies add their content. One thread at a time.
#ifndef QEL_CML_POLICY_H
#define QEL_CML_POLICY_H

#include <string>

#include "cml/cml_policy_source.h"

namespace qel {
namespace cml {

class CCmlPolicy : public CPolicySource {
 public:
  ~CCmlPolicy() override;

  int GetPolicySourceType() const override { return kParsedPolicy; }
  std::wstring GetPolicyName() const override { return m_name; }
  std::wstring GetPolicyVersion() const override { return m_version; }
  bool IsValid() const override { return m_valid; }
  bool HasChildElements() const override { return false; }
  void Deserialize(const CCmlDOM_Element& element) override;
  // The base attributes, then "name", "version", "overwrite" and "valid" as set.
  void WriteStandardAttributes(std::wostream& os) const override;
  void WriteStandardAttributes(std::ostream& os) const override;

  virtual CCmlPolicy& AssignPolicy(const CCmlPolicy& policy);
  bool GetOverwrite() const { return m_overwrite; }
  void SetPolicyName(const std::wstring& name) { m_name = name; }
  void SetPolicyVersion(const std::wstring& version) { m_version = version; }
  void SetOverwrite(bool overwrite) { m_overwrite = overwrite; }
  void SetValid(bool valid) { m_valid = valid; }

 protected:
  CCmlPolicy(std::wstring tag, std::wstring ns);
  CCmlPolicy(const CCmlPolicy& other);

 private:
  void WritePolicyAttributes(CCmlOutput& out) const;

  std::wstring m_name;
  std::wstring m_version;
  bool m_overwrite = false;
  bool m_valid = true;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_POLICY_H
