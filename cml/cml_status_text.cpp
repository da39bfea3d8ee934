#include "cml/cml_status_text.h"

#include "cml/cml_xerces.h"
#include "qelToolsLib/qelError.h"
#include "qelToolsLib/qelMessageText.h"

namespace qel {
namespace cml {

std::wstring StatusText(std::uint32_t code) {
  qelToolsLib::QELError error(code);
  const char* text = error.getText(qelToolsLib::msgtext::kUnlimitedWidth);
  return FromUtf8(text != nullptr ? text : "");
}

}  // namespace cml
}  // namespace qel
