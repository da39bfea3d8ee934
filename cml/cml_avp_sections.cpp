#include "cml/cml_avp_sections.h"

#include <xercesc/dom/DOMNode.hpp>

#include "cml/cml_class_factory.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_memory.h"
#include "cml/cml_uris.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

CCmlAvpSections::CCmlAvpSections()
    : CCmlPolicy(vocab::kPolicy, uri::kCdAvpSections), m_schemaVersion(version::kAvpSections) {}
CCmlAvpSections::CCmlAvpSections(const CCmlAvpSections& other) = default;
CCmlAvpSections::~CCmlAvpSections() = default;

std::unique_ptr<CCmlDocumentBase> CCmlAvpSections::Clone() const {
  return GuardedClone<CCmlDocumentBase>(*this, L"Cloning AVP sections object");
}

CAvpSection& CCmlAvpSections::AddSection(const std::wstring& name) {
  m_sections.emplace_back(name);
  return m_sections.back();
}

void CCmlAvpSections::SetNamespace(const std::wstring& uri) {
  CCmlPolicy::SetNamespace(uri);
  for (CAvpSection& section : m_sections) {
    for (CNameValuePair& param : section.GetParams()) param.SetNamespace(uri);
  }
}

CNameValuePair& CCmlAvpSections::AddParam(const std::wstring& section, const std::wstring& name,
                                          const std::wstring& value, std::int32_t ordinal) {
  for (CAvpSection& existing : m_sections) {
    if (existing.GetName() == section)
      return existing.AddParam(GetNamespace(), name, value, ordinal);
  }
  return AddSection(section).AddParam(GetNamespace(), name, value, ordinal);
}

const CAvpSection* CCmlAvpSections::FindSection(const std::wstring& name) const {
  for (const CAvpSection& section : m_sections) {
    if (section.GetName() == name) return &section;
  }
  return nullptr;
}

void CCmlAvpSections::Deserialize(const CCmlDOM_Element& element) {
  CCmlPolicy::Deserialize(element);
  m_sections.clear();
  WithDomErrors(L"Parsing AVP sections policy element", [&] {
    for (CCmlDOM_Node node = element.getFirstChild(); !node.IsNull();
         node = node.getNextSibling()) {
      if (node.getNodeType() != xercesc::DOMNode::ELEMENT_NODE) continue;
      CCmlDOM_Element child(node);
      if (child.getNamespaceURI() != GetNamespace() || child.getLocalName() != vocab::kSection) {
        continue;
      }
      m_sections.emplace_back();
      m_sections.back().Deserialize(child, GetNamespace());
    }
  });
}

void CCmlAvpSections::WriteChildElements(std::wostream& os, unsigned level) const {
  WriteThrough(os, [&](CCmlOutput& out) { WriteChildren(out, level); });
}

void CCmlAvpSections::WriteChildElements(std::ostream& os, unsigned level) const {
  WriteThrough(os, [&](CCmlOutput& out) { WriteChildren(out, level); });
}

void CCmlAvpSections::WriteChildren(CCmlOutput& out, unsigned level) const {
  for (const CAvpSection& section : m_sections) section.WriteElement(out, level);
}

void CCmlAvpSections::Register() {
  CCmlAvpSections prototype;
  const CCmlClassFactory::VersionPair first(uri::kCdAvpSections, version::kAvpSections);
  const std::vector<CCmlClassFactory::VersionPair> further = {
      {uri::kAvpSections, version::kAvpSections},
      {uri::kCdRoAvpSections, version::kAvpSections},
      {uri::kRoAvpSections, version::kAvpSections}};
  CCmlClassFactory::GetGlobalFactory()->RegisterDocumentObject(first, further, vocab::kPolicy,
                                                               prototype);
}

}  // namespace cml
}  // namespace qel
