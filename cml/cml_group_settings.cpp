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

const CGroupSettingsNode* CCmlGroupSettings::FindSetting(const std::wstring& name) const {
  for (const CGroupSettingsNode& setting : m_settings) {
    if (setting.GetName() == name && setting.GetNamespace() == GetNamespace()) return &setting;
  }
  return nullptr;
}

void CCmlGroupSettings::Deserialize(const CCmlDOM_Element& element) {
  CCmlPolicy::Deserialize(element);
  const wchar_t* operation = L"Parsing group settings policy element";
  CheckElementDepth(element.GetDOMNode(), operation);
  m_settings.clear();
  WithDomErrors(operation, [&] {
    for (CCmlDOM_Node node = element.getFirstChild(); !node.IsNull();
         node = node.getNextSibling()) {
      if (node.getNodeType() != xercesc::DOMNode::ELEMENT_NODE) continue;
      m_settings.emplace_back();
      m_settings.back().Deserialize(CCmlDOM_Element(node));
    }
  });
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
  CCmlClassFactory::GetGlobalFactory()->RegisterDocumentObject(
      uri::kCdGroupSettings, version::kGroupSettings, vocab::kPolicy, prototype);
}

}  // namespace cml
}  // namespace qel
