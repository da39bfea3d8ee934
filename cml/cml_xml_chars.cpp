#include "cml/cml_xml_chars.h"

#include <type_traits>

namespace qel {
namespace cml {

namespace {

unsigned long Code(wchar_t wc) {
  return static_cast<unsigned long>(static_cast<std::make_unsigned_t<wchar_t>>(wc));
}

// NameStartChar of XML 1.0 (fifth edition), ':' excluded (namespaces).
bool IsNameStart(unsigned long c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
         (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
         (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNamePart(unsigned long c) {
  if (IsNameStart(c)) return true;
  return (c >= '0' && c <= '9') || c == '-' || c == '.' || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

}  // namespace

namespace chars_detail {
const wchar_t* Reference(wchar_t c, bool attribute, std::size_t& length) {
  const wchar_t* reference = nullptr;
  switch (c) {
    case L'<':
      reference = L"&lt;";
      break;
    case L'>':
      reference = L"&gt;";
      break;
    case L'&':
      reference = L"&amp;";
      break;
    case L'\'':
      reference = L"&apos;";
      break;
    case L'"':
      reference = L"&quot;";
      break;
    case L'\r':
      reference = L"&#xd;";
      break;
    case L'\n':
      reference = attribute ? L"&#xa;" : nullptr;
      break;
    case L'\t':
      reference = attribute ? L"&#x9;" : nullptr;
      break;
    default:
      break;
  }
  length = reference != nullptr ? std::char_traits<wchar_t>::length(reference) : 0;
  return reference;
}
}  // namespace chars_detail

bool IsWritableComment(const std::wstring& text) {
  return text.find(L"--") == std::wstring::npos && (text.empty() || text.back() != L'-') &&
         text.find(L'\r') == std::wstring::npos;
}

bool IsWritableProcessingInstruction(const std::wstring& target, const std::wstring& data) {
  std::wstring lower;
  for (wchar_t c : target) lower.push_back(c >= L'A' && c <= L'Z' ? c + (L'a' - L'A') : c);
  return IsNCName(target) && lower != L"xml" && data.find(L"?>") == std::wstring::npos &&
         data.find(L'\r') == std::wstring::npos &&
         (data.empty() || std::wstring(L" \t\n").find(data[0]) == std::wstring::npos);
}

bool AllXmlChars(const std::wstring& text) {
  for (wchar_t c : text) {
    if (!IsXmlChar(c)) return false;
  }
  return true;
}

bool IsNCName(const std::wstring& name) {
  if (name.empty() || !IsNameStart(Code(name[0]))) return false;
  for (std::size_t i = 1; i < name.size(); ++i) {
    if (!IsNamePart(Code(name[i]))) return false;
  }
  return true;
}

bool IsQName(const std::wstring& name) {
  const std::size_t colon = name.find(L':');
  if (colon == std::wstring::npos) return IsNCName(name);
  return IsNCName(name.substr(0, colon)) && IsNCName(name.substr(colon + 1));
}

bool IsXmlName(const std::wstring& name) {
  if (name.empty()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const unsigned long c = Code(name[i]);
    if (c == ':') continue;
    if (!(i == 0 ? IsNameStart(c) : IsNamePart(c))) return false;
  }
  return true;
}

std::wstring PrefixOf(const std::wstring& qname) {
  const std::size_t colon = qname.find(L':');
  return colon == std::wstring::npos ? std::wstring() : qname.substr(0, colon);
}

bool HasPrefix(const std::wstring& qname) { return qname.find(L':') != std::wstring::npos; }

}  // namespace cml
}  // namespace qel
