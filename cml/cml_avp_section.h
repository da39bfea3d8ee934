// CAvpSection: one named section of an AVP (attribute-value pair) sections policy:
// "<section name='...'>" holding "param" elements (CNameValuePair) in order. A plain
// value; one thread at a time.
#ifndef QEL_CML_AVP_SECTION_H
#define QEL_CML_AVP_SECTION_H

#include <cstdint>
#include <string>
#include <vector>

#include "cml/cml_dom_element.h"
#include "cml/cml_name_value_pair.h"
#include "cml/cml_output.h"

namespace qel {
namespace cml {

class CAvpSection {
 public:
  CAvpSection() = default;
  explicit CAvpSection(std::wstring name) : m_name(std::move(name)) {}

  const std::wstring& GetName() const { return m_name; }
  void SetName(const std::wstring& name) { m_name = name; }
  const std::vector<CNameValuePair>& GetParams() const { return m_params; }
  std::vector<CNameValuePair>& GetParams() { return m_params; }
  // Appends a "param" in `ns` (the namespace of the policy that holds the section).
  CNameValuePair& AddParam(const std::wstring& ns, const std::wstring& name,
                           const std::wstring& value, std::int32_t ordinal = 0);
  // The value of the first param called `name`, or null.
  const std::wstring* FindValue(const std::wstring& name) const;

  // "<section name='...'>" with the params one level deeper, or an empty element.
  void WriteElement(CCmlOutput& out, unsigned level) const;
  // Reads "name" and the "param" children in `ns`.
  void Deserialize(const CCmlDOM_Element& element, const std::wstring& ns);

 private:
  std::wstring m_name;
  std::vector<CNameValuePair> m_params;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_AVP_SECTION_H
