#include "cml/cml_group_settings.h"

#include <xercesc/dom/DOMNode.hpp>

#include "cml/cml_class_factory.h"
#include "cml/cml_depth.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_memory.h"
#include "cml/cml_uris.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

CCmlGroupSettings::CCmlGroupSettings()
    : CCmlPolicy(vocab::kPolicy, uri::kCdGroupSettings), m_schemaVersion(version::kGroupSettings) {}
CCmlGroupSettings::CCmlGroupSettings(const CCmlGroupSettings& other) = default;
CCmlGroupSettings::~CCmlGroupSettings() = default;

std::unique_ptr<CCmlDocumentBase> CCmlGroupSettings::Clone() const {
  return GuardedClone<CCmlDocumentBase>(*this, L"Cloning group settings object");
}

CGroupSettingsNode& CCmlGroupSettings::AddSetting(const std::wstring& name) {
  m_settings.emplace_back(name, GetNamespace());
  return m_settings.back();
}

CGroupSettingsNode& CCmlGroupSettings::AddComment(const std::wstring& text) {
  m_settings.push_back(CGroupSettingsNode::MakeComment(text));
  return m_settings.back();
}

CGroupSettingsNode& CCmlGroupSettings::AddProcessingInstruction(const std::wstring& target,
                                                                const std::wstring& data) {
  m_settings.push_back(CGroupSettingsNode::MakeProcessingInstruction(target, data));
  return m_settings.back();
}

const CGroupSettingsNode* CCmlGroupSettings::FindSetting(const std::wstring& name) const {
  for (const CGroupSettingsNode& setting : m_settings) {
    if (setting.GetKind() == CGroupSettingsNode::Kind::Element && setting.GetName() == name &&
        setting.GetNamespace() == GetNamespace()) {
      return &setting;
    }
  }
  return nullptr;
}

void CCmlGroupSettings::Deserialize(const CCmlDOM_Element& element) {
  CCmlPolicy::Deserialize(element);
  const wchar_t* operation = L"Parsing group settings policy element";
  CheckElementDepth(element.GetDOMNode(), operation);
  m_settings.clear();
  // Text directly in the policy is not part of its settings.
  WithDomErrors(operation, [&] { CGroupSettingsNode::ReadChildren(element, m_settings); });
}

void CCmlGroupSettings::WriteChildElements(std::wostream& os, unsigned level) const {
  WriteThrough(os, [&](CCmlOutput& out) { WriteChildren(out, level); });
}

void CCmlGroupSettings::WriteChildElements(std::ostream& os, unsigned level) const {
  WriteThrough(os, [&](CCmlOutput& out) { WriteChildren(out, level); });
}

void CCmlGroupSettings::WriteChildren(CCmlOutput& out, unsigned level) const {
  for (const CGroupSettingsNode& setting : m_settings) {
    setting.WriteElement(out, level, GetNamespace(), 2);
  }
}

void CCmlGroupSettings::Register() {
  CCmlGroupSettings prototype;
  const CCmlClassFactory::VersionPair first(uri::kCdGroupSettings, version::kGroupSettings);
  const std::vector<CCmlClassFactory::VersionPair> further = {
      {uri::kGroupSettings, version::kGroupSettings}};
  CCmlClassFactory::GetGlobalFactory()->RegisterDocumentObject(first, further, vocab::kPolicy,
                                                               prototype);
}

}  // namespace cml
}  // namespace qel
