#include "cml/cml_message_base.h"

#include "cml/cml_class_factory.h"
#include "cml/cml_codes.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_serializer.h"
#include "cml/cml_uris.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

CMessageBase::CMessageBase(const std::wstring& tag, const std::wstring& ns,
                           const std::wstring& version, const std::wstring& requestId)
    : CCmlDocumentBase(tag, ns, version), m_requestId(requestId), m_schemaVersion(version) {}
CMessageBase::CMessageBase(const CMessageBase& other) = default;
CMessageBase::~CMessageBase() = default;

CMessageBase& CMessageBase::Assign(const CMessageBase& other) {
  if (&other != this) {
    CCmlDocumentBase::Assign(other);
    m_requestId = other.m_requestId;
    m_schemaVersion = other.m_schemaVersion;
  }
  return *this;
}

void CMessageBase::Deserialize(const CCmlDOM_Element& element) {
  if (element.IsNull()) {
    throw CCmlException(L"Deserializing message", L"Null element received",
                        qel::status::CML_NULL_ELEMENT);
  }
  CCmlDocumentBase::Deserialize(element);
  WithDomErrors(L"Deserializing CML message",
                [&] { m_requestId = element.getAttribute(vocab::kRequestId); });
}

void CMessageBase::WriteStandardAttributes(std::wostream& os) const {
  CCmlDocumentBase::WriteStandardAttributes(os);
  WriteThrough(os,
               [this](CCmlOutput& out) { WriteAttribute(out, vocab::kRequestId, m_requestId); });
}

void CMessageBase::WriteStandardAttributes(std::ostream& os) const {
  CCmlDocumentBase::WriteStandardAttributes(os);
  WriteThrough(os,
               [this](CCmlOutput& out) { WriteAttribute(out, vocab::kRequestId, m_requestId); });
}

void RegisterAgentMessage(const std::wstring& tag, const CCmlDocumentBase& prototype) {
  const CCmlClassFactory::VersionPair current(uri::kAgentMessages, version::kAgentMessages);
  const std::vector<CCmlClassFactory::VersionPair> older = {
      {uri::kCml, version::kMessageLayerChildren}};
  CCmlClassFactory::GetGlobalFactory()->RegisterDocumentObject(current, older, tag, prototype);
}

}  // namespace cml
}  // namespace qel
