#include "cml/cml_dom_error.h"

#include "cml/cml_codes.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {
std::wstring OperationName(const char* cls, const char* op) {
  std::string operation = std::string(cls) + "::" + op + "()";
  return std::wstring(operation.begin(), operation.end());
}
}  // namespace

void ThrowDomNull(const char* cls, const char* op, const wchar_t* what) {
  throw CCmlException(OperationName(cls, op), what, qel::status::CML_DOM_NULL);
}

xercesc::DOMNode* CheckNodeType(xercesc::DOMNode* node, std::initializer_list<int> types,
                                const char* cls, const char* op) {
  if (node == nullptr) return nullptr;
  for (int type : types) {
    if (node->getNodeType() == type) return node;
  }
  throw CCmlException(OperationName(cls, op), L"Wrong source node type",
                      qel::status::CML_WRONG_NODE_TYPE);
}

CCmlException FromDomException(const xercesc::DOMException& e, const std::wstring& operation) {
  return CCmlException(operation, FromXml(e.getMessage()),
                       static_cast<std::uint32_t>(static_cast<unsigned short>(e.code)));
}

}  // namespace cml
}  // namespace qel
