#include "cml/cml_response.h"

#include "cml/cml_dom_error.h"
#include "cml/cml_memory.h"
#include "cml/cml_schema_version.h"
#include "cml/cml_serializer.h"
#include "cml/cml_settings.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

CCmlResponse::CCmlResponse(const std::wstring& tag, const std::wstring& ns,
                           const std::wstring& version, const std::wstring& requestId,
                           std::uint32_t code, const std::wstring& text)
    : CMessageBase(tag, ns, version, requestId), m_code(code), m_text(text) {}
CCmlResponse::CCmlResponse(const CCmlResponse& other) = default;
CCmlResponse::~CCmlResponse() = default;

std::unique_ptr<CCmlDocumentBase> CCmlResponse::Clone() const {
  return GuardedClone<CCmlDocumentBase>(*this, L"Cloning response object");
}

CCmlResponse& CCmlResponse::Assign(const CCmlResponse& other) {
  if (&other != this) {
    CMessageBase::Assign(other);
    m_code = other.m_code;
    m_text = other.m_text;
  }
  return *this;
}

void CCmlResponse::Deserialize(const CCmlDOM_Element& element) {
  CMessageBase::Deserialize(element);
  WithDomErrors(L"Parsing response element", [&] {
    m_code = ParseUnsignedOr(element.getAttribute(vocab::kCode), 0);
    m_text = element.getAttribute(vocab::kText);
  });
}

void CCmlResponse::WriteStandardAttributes(std::wostream& os) const {
  CMessageBase::WriteStandardAttributes(os);
  WriteThrough(os, [this](CCmlOutput& out) { WriteCodeAndText(out); });
}

void CCmlResponse::WriteStandardAttributes(std::ostream& os) const {
  CMessageBase::WriteStandardAttributes(os);
  WriteThrough(os, [this](CCmlOutput& out) { WriteCodeAndText(out); });
}

void CCmlResponse::WriteCodeAndText(CCmlOutput& out) const {
  if (m_code != 0 || GetWriteDefaults()) WriteAttribute(out, vocab::kCode, HexCode(m_code));
  if (!m_text.empty()) WriteAttribute(out, vocab::kText, m_text);
}

}  // namespace cml
}  // namespace qel
