// CContentDate: one content date record ("content-date": identity and date),
// written as an empty element. A plain value.
#ifndef QEL_CML_CONTENT_DATE_H
#define QEL_CML_CONTENT_DATE_H

#include <string>
#include <utility>

#include "cml/cml_dom_element.h"
#include "cml/cml_output.h"

namespace qel {
namespace cml {

class CContentDate {
 public:
  CContentDate();
  CContentDate(const std::wstring& identity, const std::wstring& date);
  virtual ~CContentDate();

  const std::wstring& GetTag() const { return m_tag; }
  const std::wstring& GetIdentity() const { return m_identity; }
  const std::wstring& GetDate() const { return m_date; }
  void SetIdentity(std::wstring v) { m_identity = std::move(v); }
  void SetDate(std::wstring v) { m_date = std::move(v); }

  virtual void WriteElement(CCmlOutput& out, unsigned level) const;
  virtual void Deserialize(const CCmlDOM_Element& element);

 private:
  std::wstring m_tag;
  std::wstring m_identity;
  std::wstring m_date;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_CONTENT_DATE_H
