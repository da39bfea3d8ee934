#include "cml/cml_request.h"

#include "cml/cml_dom_error.h"
#include "cml/cml_memory.h"
#include "cml/cml_serializer.h"
#include "cml/cml_settings.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

CCmlRequest::CCmlRequest(const std::wstring& tag, const std::wstring& ns,
                         const std::wstring& version, const std::wstring& requestId,
                         bool needReply)
    : CMessageBase(tag, ns, version, requestId), m_needReply(needReply) {}
CCmlRequest::CCmlRequest(const CCmlRequest& other) = default;
CCmlRequest::~CCmlRequest() = default;

std::unique_ptr<CCmlDocumentBase> CCmlRequest::Clone() const {
  return GuardedClone<CCmlDocumentBase>(*this, L"Cloning request object");
}

CCmlRequest& CCmlRequest::Assign(const CCmlRequest& other) {
  if (&other != this) {
    CMessageBase::Assign(other);
    m_needReply = other.m_needReply;
  }
  return *this;
}

void CCmlRequest::Deserialize(const CCmlDOM_Element& element) {
  CMessageBase::Deserialize(element);
  WithDomErrors(L"Parsing request element", [&] {
    m_needReply = element.getAttribute(vocab::kNeedReply) != vocab::kFalse;
  });
}

void CCmlRequest::WriteStandardAttributes(std::wostream& os) const {
  CMessageBase::WriteStandardAttributes(os);
  WriteThrough(os, [this](CCmlOutput& out) { WriteNeedReply(out); });
}

void CCmlRequest::WriteStandardAttributes(std::ostream& os) const {
  CMessageBase::WriteStandardAttributes(os);
  WriteThrough(os, [this](CCmlOutput& out) { WriteNeedReply(out); });
}

void CCmlRequest::WriteNeedReply(CCmlOutput& out) const {
  if (!m_needReply) {
    WriteAttribute(out, vocab::kNeedReply, vocab::kFalse);
  } else if (GetWriteDefaults()) {
    WriteAttribute(out, vocab::kNeedReply, vocab::kTrue);
  }
}

}  // namespace cml
}  // namespace qel
