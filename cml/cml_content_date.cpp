#include "cml/cml_content_date.h"

#include "cml/cml_dom_error.h"
#include "cml/cml_serializer.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

CContentDate::CContentDate() : m_tag(vocab::kContentDate) {}
CContentDate::CContentDate(const std::wstring& identity, const std::wstring& date)
    : m_tag(vocab::kContentDate), m_identity(identity), m_date(date) {}
CContentDate::~CContentDate() = default;

void CContentDate::WriteElement(CCmlOutput& out, unsigned level) const {
  WriteOpenTag(out, level, m_tag, false);
  WriteAttribute(out, vocab::kIdentity, m_identity);
  WriteAttribute(out, vocab::kDate, m_date);
  out << L"/>\n";
}

void CContentDate::Deserialize(const CCmlDOM_Element& element) {
  WithDomErrors(
      L"Parsing agent-startup-announcement/get-agent-info-response content-date element", [&] {
        m_identity = element.getAttribute(vocab::kIdentity);
        m_date = element.getAttribute(vocab::kDate);
      });
}

}  // namespace cml
}  // namespace qel
