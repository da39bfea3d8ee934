// CNameValuePair: the small "param" element (namespace, name, value, ordinal) used
// inside other documents; always written as one empty element. A plain value.
#ifndef QEL_CML_NAME_VALUE_PAIR_H
#define QEL_CML_NAME_VALUE_PAIR_H

#include <cstdint>
#include <iosfwd>
#include <string>

#include "cml/cml_dom_element.h"
#include "cml/cml_output.h"

namespace qel {
namespace cml {

class CNameValuePair {
 public:
  CNameValuePair();
  CNameValuePair(const std::wstring& ns, const std::wstring& name, const std::wstring& value,
                 std::int32_t ordinal = 0);
  virtual ~CNameValuePair();

  const std::wstring& GetTagName() const { return m_tag; }
  const std::wstring& GetNamespace() const { return m_namespace; }
  const std::wstring& GetName() const { return m_name; }
  const std::wstring& GetValue() const { return m_value; }
  std::int32_t GetOrdinal() const { return m_ordinal; }
  void SetTagName(const std::wstring& v) { m_tag = v; }
  void SetNamespace(const std::wstring& v) { m_namespace = v; }
  void SetName(const std::wstring& v) { m_name = v; }
  void SetValue(const std::wstring& v) { m_value = v; }
  void SetOrdinal(std::int32_t v) { m_ordinal = v; }

  virtual void WriteElement(CCmlOutput& out, unsigned level) const;
  void SerializeElement(std::wostream& os, unsigned level) const;
  void SerializeElement(std::ostream& os, unsigned level) const;
  virtual void Deserialize(const CCmlDOM_Element& element);
  // "xmlns", "name", "value", then "ordinal" when not 0.
  virtual void WriteAttributes(CCmlOutput& out) const;

 private:
  std::wstring m_tag;
  std::wstring m_namespace;
  std::wstring m_name;
  std::wstring m_value;
  std::int32_t m_ordinal = 0;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_NAME_VALUE_PAIR_H
