// Helpers shared by the CML tests: writing a document to UTF-8 text and reading
// text back through the class factory.
#ifndef QEL_TESTS_CML_TEST_UTIL_H
#define QEL_TESTS_CML_TEST_UTIL_H

#include <memory>
#include <sstream>
#include <string>

#include "cml/cml_deserialize.h"
#include "cml/cml_document_base.h"
#include "cml/cml_exception.h"
#include "cml/cml_parser.h"

namespace qel {
namespace cml {
namespace test {

inline std::string Write(const CCmlDocumentBase& document) {
  std::ostringstream os;
  document.Serialize(os);
  return os.str();
}

inline std::unique_ptr<CCmlDocumentBase> Read(const std::string& text) {
  return DeserializeDocument(text.data(), text.size(), kParseNoValidation, nullptr);
}

template <class T>
std::unique_ptr<T> ReadAs(const std::string& text) {
  std::unique_ptr<CCmlDocumentBase> document = Read(text);
  auto* typed = dynamic_cast<T*>(document.get());
  if (typed == nullptr) return nullptr;
  document.release();
  return std::unique_ptr<T>(typed);
}

// Runs `work` and returns the code of the CCmlException it throws (0 if none).
template <class Work>
std::uint32_t CodeOf(Work&& work) {
  try {
    work();
  } catch (const CCmlException& e) {
    return e.GetCode();
  }
  return 0;
}

}  // namespace test
}  // namespace cml
}  // namespace qel

#endif  // QEL_TESTS_CML_TEST_UTIL_H
