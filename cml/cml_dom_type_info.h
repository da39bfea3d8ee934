// CCmlDOM_TypeInfo: wrapper of the schema type information of an element or an
// attribute (Xerces DOMTypeInfo, owned by the DOM). Names come back as wide text; a
// wrapper without type information throws "The type information is NULL".
#ifndef QEL_CML_DOM_TYPE_INFO_H
#define QEL_CML_DOM_TYPE_INFO_H

#include <string>

#include <xercesc/dom/DOMTypeInfo.hpp>

namespace qel {
namespace cml {

class CCmlDOM_TypeInfo {
 public:
  CCmlDOM_TypeInfo() = default;
  explicit CCmlDOM_TypeInfo(const xercesc::DOMTypeInfo* info) : m_info(info) {}

  const xercesc::DOMTypeInfo* GetDOMTypeInfo() const { return m_info; }
  bool IsNull() const { return m_info == nullptr; }
  std::wstring getName() const;       // the type's name
  std::wstring getNamespace() const;  // the namespace of the type's name

 private:
  const xercesc::DOMTypeInfo* Checked(const char* op) const;
  const xercesc::DOMTypeInfo* m_info = nullptr;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_TYPE_INFO_H
