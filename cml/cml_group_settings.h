// CCmlGroupSettings: the group settings policy document (tag "policy", namespace
// "/cml/CommonDocuments/GroupSettings" or "/cml/GroupSettings", schema version
// "2.3.3"): the standard policy attributes and the settings themselves, each child
// element, comment and processing instruction kept as a settings node
// (CGroupSettingsNode) so that a group settings policy read through the class
// factory is written back with all its settings. One thread at a time.
#ifndef QEL_CML_GROUP_SETTINGS_H
#define QEL_CML_GROUP_SETTINGS_H

#include <memory>
#include <string>
#include <vector>

#include "cml/cml_group_settings_node.h"
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
  bool HasChildElements() const override { return !m_settings.empty(); }
  // The standard policy attributes, then every child element, comment and processing
  // instruction as a settings node.
  void Deserialize(const CCmlDOM_Element& element) override;
  void WriteChildElements(std::wostream& os, unsigned level) const override;
  void WriteChildElements(std::ostream& os, unsigned level) const override;

  const std::vector<CGroupSettingsNode>& GetSettings() const { return m_settings; }
  std::vector<CGroupSettingsNode>& GetSettings() { return m_settings; }
  // Appends a settings element called `name` in the policy's namespace.
  CGroupSettingsNode& AddSetting(const std::wstring& name);
  CGroupSettingsNode& AddComment(const std::wstring& text);
  CGroupSettingsNode& AddProcessingInstruction(const std::wstring& target,
                                               const std::wstring& data);
  // The first settings element called `name` in the policy's namespace, or null.
  const CGroupSettingsNode* FindSetting(const std::wstring& name) const;

  // Registers the prototype with the class factory under
  // ("/cml/CommonDocuments/GroupSettings", "2.3.3") and ("/cml/GroupSettings",
  // "2.3.3"), replacing earlier ones.
  static void Register();

 private:
  void WriteChildren(CCmlOutput& out, unsigned level) const;

  std::wstring m_schemaVersion;
  std::vector<CGroupSettingsNode> m_settings;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_GROUP_SETTINGS_H
