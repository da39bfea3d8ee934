// Helpers shared by the CML tests: writing a document to UTF-8 text, reading text back
// through the class factory, the text a value reads back as, comparing DOM trees by
// their values, and restoring the process-wide settings a test changes.
#ifndef QEL_TESTS_CML_TEST_UTIL_H
#define QEL_TESTS_CML_TEST_UTIL_H

#include <memory>
#include <sstream>
#include <string>

#include <xercesc/dom/DOMNode.hpp>

#include "cml/cml_deserialize.h"
#include "cml/cml_document_base.h"
#include "cml/cml_exception.h"
#include "cml/cml_namespace.h"
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

// `text` as XML 1.0 carries it: every character it does not allow becomes U+FFFD.
std::wstring Sanitized(const std::wstring& text);

// Same namespaces, names, attributes (namespace declarations aside) and content; runs
// of adjacent text and CDATA compare as one text, runs of white space alone are
// layout. With `sanitizeFirst` the texts of `a` are compared as XML 1.0 carries them.
bool SameTree(const xercesc::DOMNode* a, const xercesc::DOMNode* b, bool sanitizeFirst = false);

// Puts back, when it goes, every process-wide setting a test may change: the write
// defaults and validation switches, the indent width, the schema folder and the
// implicit namespace set.
class CSettingsGuard {
 public:
  CSettingsGuard();
  CSettingsGuard(const CSettingsGuard&) = delete;
  CSettingsGuard& operator=(const CSettingsGuard&) = delete;
  ~CSettingsGuard();

 private:
  bool m_writeDefaults;
  bool m_validation;
  unsigned m_indent;
  std::wstring m_folder;
  CNamespaceSet m_implicit;
};

}  // namespace test
}  // namespace cml
}  // namespace qel

#endif  // QEL_TESTS_CML_TEST_UTIL_H
