// CCmlGroupSettings: the group settings policy document (tag "policy", namespace
// "/cml/CommonDocuments/GroupSettings", schema version "2.3.3"). Only the standard
// policy attributes are modelled; a message that must keep the settings' content
// carries them as a policy node instead. One thread at a time.
#ifndef QEL_CML_GROUP_SETTINGS_H
#define QEL_CML_GROUP_SETTINGS_H

#include <memory>
#include <string>

#include "cml/cml_policy.h"

namespace qel {
namespace cml {

class CCmlGroupSettings : public CCmlPolicy {
 public:
  CCmlGroupSettings();
  CCmlGroupSettings(const CCmlGroupSettings& other);
  ~CCmlGroupSettings() override;

  std::unique_ptr<CCmlDocumentBase> Clone() const override;
  const std::wstring& GetSchemaVersion() const override { return m_schemaVersion; }
  void SetSchemaVersion(const std::wstring& version) override { m_schemaVersion = version; }

  // Registers the prototype with the class factory (replacing an earlier one).
  static void Register();

 private:
  std::wstring m_schemaVersion;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_GROUP_SETTINGS_H
