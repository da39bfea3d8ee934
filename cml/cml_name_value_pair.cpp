#include "cml/cml_name_value_pair.h"

#include <ostream>

#include "cml/cml_codes.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_memory.h"
#include "cml/cml_schema_version.h"
#include "cml/cml_serializer.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

CNameValuePair::CNameValuePair() : m_tag(vocab::kParam) {}
CNameValuePair::CNameValuePair(const std::wstring& ns, const std::wstring& name,
                               const std::wstring& value, std::int32_t ordinal)
    : m_tag(vocab::kParam), m_namespace(ns), m_name(name), m_value(value), m_ordinal(ordinal) {}
CNameValuePair::~CNameValuePair() = default;

void CNameValuePair::WriteAttributes(CCmlOutput& out) const {
  WriteNamespaceAttributes(out, m_tag, m_namespace);
  WriteAttribute(out, vocab::kName, m_name);
  WriteAttribute(out, vocab::kValue, m_value);
  if (m_ordinal != 0) WriteAttribute(out, vocab::kOrdinal, std::to_wstring(m_ordinal));
}

void CNameValuePair::WriteElement(CCmlOutput& out, unsigned level) const {
  WriteOpenTag(out, level, m_tag);
  WriteAttributes(out);
  out << L"/>\n";
}

namespace {
template <class Stream>
void WriteTo(const CNameValuePair& pair, Stream& os, unsigned level) {
  WithMemoryGuard(L"Serializing param element", [&] {
    CCmlOutput out(os);
    pair.WriteElement(out, level);
    out.Finish();
  });
}
}  // namespace

void CNameValuePair::SerializeElement(std::wostream& os, unsigned level) const {
  WriteTo(*this, os, level);
}

void CNameValuePair::SerializeElement(std::ostream& os, unsigned level) const {
  WriteTo(*this, os, level);
}

void CNameValuePair::Deserialize(const CCmlDOM_Element& element) {
  if (element.IsNull()) {
    throw CCmlException(L"Parsing param element", L"Null element received",
                        qel::status::CML_NULL_ELEMENT);
  }
  WithDomErrors(L"Parsing param element", [&] {
    m_tag = element.getNodeName();
    m_namespace = element.getNamespaceURI();
    m_name = element.getAttribute(vocab::kName);
    m_value = element.getAttribute(vocab::kValue);
    m_ordinal = ParseSignedOr(element.getAttribute(vocab::kOrdinal), 0);
  });
}

}  // namespace cml
}  // namespace qel
