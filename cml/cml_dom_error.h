// Error translation of the DOM wrapper layer: a missing DOM object becomes a
// CCmlException naming the wrapper operation, and a Xerces DOMException caught by a
// CML class becomes a CCmlException with the class's own operation text, the DOM
// message and the DOM exception code. Stateless; any thread.
#ifndef QEL_CML_DOM_ERROR_H
#define QEL_CML_DOM_ERROR_H

#include <initializer_list>
#include <string>

#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "cml/cml_exception.h"

namespace qel {
namespace cml {

// Throws CCmlException (0xC7380027, "<cls>::<op>()", `what`).
[[noreturn]] void ThrowDomNull(const char* cls, const char* op, const wchar_t* what);

// `node` when it is null or of one of `types`; otherwise throws CCmlException
// (0xC7380014, "<cls>::<op>()", "Wrong source node type").
xercesc::DOMNode* CheckNodeType(xercesc::DOMNode* node, std::initializer_list<int> types,
                                const char* cls, const char* op);

// Builds the CCmlException for a caught DOMException.
CCmlException FromDomException(const xercesc::DOMException& e, const std::wstring& operation);

// Runs `work`; a DOMException that leaves it is rethrown as CCmlException with
// `operation`. CCmlExceptions pass unchanged.
template <class Work>
auto WithDomErrors(const wchar_t* operation, Work&& work) -> decltype(work()) {
  try {
    return work();
  } catch (const xercesc::DOMException& e) {
    throw FromDomException(e, operation);
  }
}

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_ERROR_H
