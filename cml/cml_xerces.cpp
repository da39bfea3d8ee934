#include "cml/cml_xerces.h"

#include <mutex>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "qelToolsLib/qelStringConvert.h"

namespace qel {
namespace cml {

static_assert(sizeof(XMLCh) == sizeof(char16_t), "XMLCh must be a UTF-16 unit");

void EnsureXercesInitialized() {
  static std::once_flag once;
  std::call_once(once, [] {
    try {
      xercesc::XMLPlatformUtils::Initialize();
    } catch (const xercesc::XMLException& e) {
      throw CCmlException(L"Initializing the XML parser", FromXml(e.getMessage()),
                          codes::kNoFactory);
    }
  });
}

std::u16string ToXml(const std::wstring& text) {
  std::u16string out;
  qelToolsLib::WideToUtf16(text, out, qelToolsLib::qelConvertMode::Lenient);
  return out;
}

std::wstring FromXml(const XMLCh* text) {
  std::wstring out;
  if (text != nullptr) {
    qelToolsLib::Utf16ToWide(std::u16string(reinterpret_cast<const char16_t*>(text)), out,
                             qelToolsLib::qelConvertMode::Lenient);
  }
  return out;
}

std::wstring FromUtf8(const std::string& text) {
  std::wstring out;
  qelToolsLib::Utf8ToWide(text, out, qelToolsLib::qelConvertMode::Lenient);
  return out;
}

std::string ToUtf8(const std::wstring& text) {
  std::string out;
  qelToolsLib::WideToUtf8(text, out, qelToolsLib::qelConvertMode::Lenient);
  return out;
}

}  // namespace cml
}  // namespace qel
