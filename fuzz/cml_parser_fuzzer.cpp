// Fuzz target: the CML parser (CCmlParser) on arbitrary bytes, once without and once
// with validation. A text either parses into a document with a root element or fails
// with a CCmlException; nothing else may leave the parser, and nothing may crash,
// hang or leak.
#include <cstddef>
#include <cstdint>

#include "cml/cml_exception.h"
#include "cml/cml_parser.h"
#include "fuzz/fuzz_check.h"

namespace {

void parse(const char* text, std::size_t size, int mode) {
  static qel::cml::CCmlParser& parser = *new qel::cml::CCmlParser;
  try {
    parser.Parse(text, size, mode);
  } catch (const qel::cml::CCmlException& e) {
    FUZZ_CHECK(e.GetCode() != 0);
    return;
  }
  FUZZ_CHECK(!parser.GetRootTagName().empty());
  FUZZ_CHECK(parser.GetDocument().GetDOMDocument() != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  parse(text, size, qel::cml::kParseNoValidation);
  parse(text, size, qel::cml::kParseValidate);
  return 0;
}
