// CCmlDOM_Exception: a Xerces DOMException that also keeps its message as wide text,
// for callers of the DOM wrappers who handle DOM errors themselves. A plain value
// (copyable, not assignable, like its base); any thread may use its own copy.
#ifndef QEL_CML_DOM_EXCEPTION_H
#define QEL_CML_DOM_EXCEPTION_H

#include <string>

#include <xercesc/dom/DOMException.hpp>

namespace qel {
namespace cml {

class CCmlDOM_Exception : public xercesc::DOMException {
 public:
  explicit CCmlDOM_Exception(const xercesc::DOMException& e);
  // A DOM error of `code` (ExceptionCode) with Xerces' text for it.
  explicit CCmlDOM_Exception(short code);
  CCmlDOM_Exception(const CCmlDOM_Exception& other) = default;
  ~CCmlDOM_Exception() override;

  const std::wstring& GetMessage() const { return m_message; }
  short GetCode() const { return code; }

 private:
  std::wstring m_message;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOM_EXCEPTION_H
