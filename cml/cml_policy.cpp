#include "cml/cml_policy.h"

#include "cml/cml_codes.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_serializer.h"
#include "cml/cml_settings.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

CCmlPolicy::CCmlPolicy(std::wstring tag, std::wstring ns)
    : CPolicySource(std::move(tag), std::move(ns), std::wstring()) {}
CCmlPolicy::CCmlPolicy(const CCmlPolicy& other) = default;
CCmlPolicy::~CCmlPolicy() = default;

CCmlPolicy& CCmlPolicy::AssignPolicy(const CCmlPolicy& policy) {
  if (&policy != this) {
    CopyFrom(policy);
    m_name = policy.GetPolicyName();
    m_version = policy.GetPolicyVersion();
    m_overwrite = policy.GetOverwrite();
    m_valid = policy.IsValid();
  }
  return *this;
}

void CCmlPolicy::Deserialize(const CCmlDOM_Element& element) {
  if (element.IsNull()) {
    throw CCmlException(L"Deserializing policy", L"Null element received",
                        qel::status::CML_NULL_ELEMENT);
  }
  CPolicySource::Deserialize(element);
  WithDomErrors(L"Processing standard policy attributes", [&] {
    m_name = element.getAttribute(vocab::kName);
    m_version = element.getAttribute(vocab::kVersion);
    m_overwrite = element.getAttribute(vocab::kOverwrite) == vocab::kTrue;
    m_valid = element.getAttribute(vocab::kValid) != vocab::kFalse;
  });
}

void CCmlPolicy::WriteStandardAttributes(std::wostream& os) const {
  CPolicySource::WriteStandardAttributes(os);
  WriteThrough(os, [this](CCmlOutput& out) { WritePolicyAttributes(out); });
}

void CCmlPolicy::WriteStandardAttributes(std::ostream& os) const {
  CPolicySource::WriteStandardAttributes(os);
  WriteThrough(os, [this](CCmlOutput& out) { WritePolicyAttributes(out); });
}

void CCmlPolicy::WritePolicyAttributes(CCmlOutput& out) const {
  if (!m_name.empty()) WriteAttribute(out, vocab::kName, m_name);
  if (!m_version.empty()) WriteAttribute(out, vocab::kVersion, m_version);
  if (m_overwrite) WriteAttribute(out, vocab::kOverwrite, vocab::kTrue);
  if (!m_valid || GetWriteDefaults()) WriteAttribute(out, vocab::kValid, BoolText(m_valid));
}

}  // namespace cml
}  // namespace qel
