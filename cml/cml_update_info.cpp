#include "cml/cml_update_info.h"

#include "cml/cml_dom_error.h"
#include "cml/cml_serializer.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

CUpdateInfo::CUpdateInfo() : m_tag(vocab::kUpdate) {}
CUpdateInfo::CUpdateInfo(const std::wstring& module, const std::wstring& type,
                         const std::wstring& version)
    : m_tag(vocab::kUpdate), m_module(module), m_type(type), m_version(version) {}
CUpdateInfo::~CUpdateInfo() = default;

void CUpdateInfo::WriteElement(CCmlOutput& out, unsigned level) const {
  WriteOpenTag(out, level, m_tag, false);
  if (!m_module.empty()) WriteAttribute(out, vocab::kModule, m_module);
  if (!m_type.empty()) WriteAttribute(out, vocab::kType, m_type);
  if (!m_version.empty()) WriteAttribute(out, vocab::kVersion, m_version);
  out << L"/>\n";
}

void CUpdateInfo::Deserialize(const CCmlDOM_Element& element) {
  WithDomErrors(L"Parsing agent-startup-announcement/get-agent-info-response update element",
                [&] {
                  m_module = element.getAttribute(vocab::kModule);
                  m_type = element.getAttribute(vocab::kType);
                  m_version = element.getAttribute(vocab::kVersion);
                });
}

}  // namespace cml
}  // namespace qel
