#include "cml/cml_dom_type_info.h"

#include "cml/cml_dom_error.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

const xercesc::DOMTypeInfo* CCmlDOM_TypeInfo::Checked(const char* op) const {
  if (m_info == nullptr) ThrowDomNull("CCmlDOM_TypeInfo", op, L"The type information is NULL");
  return m_info;
}

std::wstring CCmlDOM_TypeInfo::getName() const {
  return FromXml(Checked("getName")->getTypeName());
}

std::wstring CCmlDOM_TypeInfo::getNamespace() const {
  return FromXml(Checked("getNamespace")->getTypeNamespace());
}

}  // namespace cml
}  // namespace qel
