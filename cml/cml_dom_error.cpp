#include "cml/cml_dom_error.h"

#include "cml/cml_codes.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

void ThrowDomNull(const char* cls, const char* op, const wchar_t* what) {
  std::string operation = std::string(cls) + "::" + op + "()";
  throw CCmlException(std::wstring(operation.begin(), operation.end()), what,
                      qel::status::CML_DOM_NULL);
}

CCmlException FromDomException(const xercesc::DOMException& e, const std::wstring& operation) {
  return CCmlException(operation, FromXml(e.getMessage()),
                       static_cast<std::uint32_t>(static_cast<unsigned short>(e.code)));
}

}  // namespace cml
}  // namespace qel
