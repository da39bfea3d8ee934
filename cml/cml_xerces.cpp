#include "cml/cml_xerces.h"

#include <mutex>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_memory.h"
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

xercesc::MemoryManager* XercesMemoryManager() {
  EnsureXercesInitialized();
  return xercesc::XMLPlatformUtils::fgMemoryManager;
}

namespace {
// The lenient conversions report only a lack of memory; the text would be cut short.
void Converted(std::uint32_t status) {
  if (status == codes::kInsufficientMemory) ThrowInsufficientMemory(L"Converting text");
}
}  // namespace

std::u16string ToXml(const std::wstring& text) {
  bool ascii = true;
  for (wchar_t c : text) ascii = ascii && static_cast<std::uint32_t>(c) < 0x80;
  if (ascii) return std::u16string(text.begin(), text.end());
  std::u16string out;
  Converted(qelToolsLib::WideToUtf16(text, out, qelToolsLib::qelConvertMode::Lenient));
  return out;
}

std::wstring FromXml(const XMLCh* text) {
  std::wstring out;
  if (text == nullptr) return out;
  // Names and most texts are ASCII, which widens unit by unit.
  std::size_t length = 0;
  bool ascii = true;
  for (; text[length] != 0; ++length) ascii = ascii && text[length] < 0x80;
  if (ascii) return std::wstring(text, text + length);
  {
    Converted(qelToolsLib::Utf16ToWide(std::u16string(reinterpret_cast<const char16_t*>(text)), out,
                                       qelToolsLib::qelConvertMode::Lenient));
  }
  return out;
}

namespace {
bool IsHighSurrogate(XMLCh c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(XMLCh c) { return c >= 0xDC00 && c <= 0xDFFF; }
}  // namespace

std::size_t Utf16Offset(const XMLCh* text, std::size_t wideOffset) {
  std::size_t pos = 0;
  for (; wideOffset > 0 && text != nullptr && text[pos] != 0; --wideOffset) {
    pos += IsHighSurrogate(text[pos]) && IsLowSurrogate(text[pos + 1]) ? 2 : 1;
  }
  return pos + wideOffset;
}

std::size_t WideLength(const XMLCh* text) {
  std::size_t count = 0;
  for (std::size_t pos = 0; text != nullptr && text[pos] != 0; ++count) {
    pos += IsHighSurrogate(text[pos]) && IsLowSurrogate(text[pos + 1]) ? 2 : 1;
  }
  return count;
}

std::wstring FromUtf8(const std::string& text) {
  // Host texts are mostly ASCII, which widens byte by byte.
  bool ascii = true;
  for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return std::wstring(text.begin(), text.end());
  std::wstring out;
  Converted(qelToolsLib::Utf8ToWide(text, out, qelToolsLib::qelConvertMode::Lenient));
  return out;
}

std::string ToUtf8(const std::wstring& text) {
  std::string out;
  Converted(qelToolsLib::WideToUtf8(text, out, qelToolsLib::qelConvertMode::Lenient));
  return out;
}

}  // namespace cml
}  // namespace qel
