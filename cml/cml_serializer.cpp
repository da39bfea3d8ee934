#include "cml/cml_serializer.h"

#include <ostream>

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_settings.h"
#include "cml/cml_uris.h"

namespace qel {
namespace cml {

namespace {

template <class Str>
Str Escape(const Str& text, bool attribute) {
  using Ch = typename Str::value_type;
  Str out;
  out.reserve(text.size());
  for (Ch c : text) {
    switch (static_cast<unsigned long>(static_cast<std::make_unsigned_t<Ch>>(c))) {
      // A parser reads a raw tab in an attribute value as a blank and a raw carriage
      // return anywhere as a line end: written as references, both read back as they were.
      case 13: for (const char* p = "&#xd;"; *p; ++p) out.push_back(static_cast<Ch>(*p)); break;
      case 9:
      case 10:
        if (attribute) {
          for (const char* p = c == 9 ? "&#x9;" : "&#xa;"; *p; ++p) out.push_back(static_cast<Ch>(*p));
        } else {
          out.push_back(c);
        }
        break;
      case 34: for (const char* p = "&quot;"; *p; ++p) out.push_back(static_cast<Ch>(*p)); break;
      case 38: for (const char* p = "&amp;"; *p; ++p) out.push_back(static_cast<Ch>(*p)); break;
      case 39: for (const char* p = "&apos;"; *p; ++p) out.push_back(static_cast<Ch>(*p)); break;
      case 60: for (const char* p = "&lt;"; *p; ++p) out.push_back(static_cast<Ch>(*p)); break;
      case 62: for (const char* p = "&gt;"; *p; ++p) out.push_back(static_cast<Ch>(*p)); break;
      default: out.push_back(c);
    }
  }
  return out;
}

// Length of a byte order mark at `at`: UTF-8 in a byte string, U+FEFF in a wide one.
std::size_t ByteOrderMarkAt(const std::string& text, std::size_t at) {
  return text.compare(at, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
}
std::size_t ByteOrderMarkAt(const std::wstring& text, std::size_t at) {
  return at < text.size() && text[at] == L'\xFEFF' ? 1 : 0;
}

// Only a declaration in front is skipped: "?>" may also stand in text or an attribute.
template <class Str>
Str SkipDeclaration(const Str& text) {
  using Ch = typename Str::value_type;
  const Ch start[] = {'<', '?', 'x', 'm', 'l', 0};
  const Ch end[] = {'?', '>', 0};
  const Ch blanks[] = {' ', '\t', '\r', '\n', 0};
  const std::size_t at = text.find_first_not_of(blanks, ByteOrderMarkAt(text, 0));
  if (at == Str::npos || text.compare(at, 5, start) != 0) return text;
  const std::size_t pos = text.find(end, at);
  return pos == Str::npos ? text : text.substr(pos + 2);
}

}  // namespace

void WriteXmlDeclaration(CCmlOutput& out, bool standalone) {
  const wchar_t* encoding = L"UTF-8";
  if (out.GetKind() == CCmlOutput::Kind::WideString) {
    encoding = L"UCS4";
  } else if (out.GetKind() == CCmlOutput::Kind::WideOther) {
    throw CCmlException(L"Writing XML declaration", L"Unsupported stream type",
                        codes::kInvalidArgument);
  }
  out << L"<?xml version='1.0' encoding='" << encoding << L"' standalone='"
      << (standalone ? L"yes" : L"no") << L"'?>\n";
}

void WriteXmlDeclaration(std::wostream& os, bool standalone) {
  CCmlOutput out(os);
  WriteXmlDeclaration(out, standalone);
  out.Finish();
}

void WriteXmlDeclaration(std::ostream& os, bool standalone) {
  CCmlOutput out(os);
  WriteXmlDeclaration(out, standalone);
  out.Finish();
}

std::wstring Indent(unsigned level) {
  return std::wstring(static_cast<std::size_t>(level) * GetIndentWidth(), L' ');
}

std::wstring EscapeAttributeValue(const std::wstring& text) { return Escape(text, true); }
std::string EscapeAttributeValue(const std::string& text) { return Escape(text, true); }
std::wstring EscapeContent(const std::wstring& text) { return Escape(text, false); }
std::string EscapeContent(const std::string& text) { return Escape(text, false); }

std::wstring EscapeAttributeValue(const wchar_t* text) {
  if (text == nullptr) {
    throw CCmlException(L"Translating XML attribute value", L"NULL pointer received",
                        codes::kInvalidArgument);
  }
  return EscapeAttributeValue(std::wstring(text));
}

std::wstring EscapeContent(const wchar_t* text) {
  if (text == nullptr) {
    throw CCmlException(L"Translating XML content", L"NULL pointer received",
                        codes::kInvalidArgument);
  }
  return EscapeContent(std::wstring(text));
}

std::wstring SkipXmlDeclaration(const std::wstring& text) { return SkipDeclaration(text); }
std::string SkipXmlDeclaration(const std::string& text) { return SkipDeclaration(text); }

std::wstring SchemaFilePath(const std::wstring& uri, const std::wstring& version,
                            const std::wstring& folder) {
  std::wstring tag = version;
  for (wchar_t& c : tag) {
    if (c == L'.') c = L'_';
  }
  const std::wstring base = uri::kBase;
  std::wstring path;
  if (uri == base) {
    path = folder + L"/Qel" + tag + L".xsd";
  } else if (uri.compare(0, base.size(), base) != 0 || uri.size() <= base.size() ||
             uri[base.size()] != L'/') {
    throw CCmlException(L"Building schema filename", L"Invalid namespace",
                        qel::status::CML_INVALID_NAMESPACE);
  } else {
    std::wstring rest = uri.substr(base.size());
    std::wstring last = rest.substr(rest.rfind(L'/') + 1);
    path = folder + rest + L"/" + last + tag + L".xsd";
  }
  std::wstring out;
  for (wchar_t c : path) {
    if (c == L' ') {
      out += L"%20";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

namespace {
// Only CML namespaces have schema files; others (kept policies) are left out.
bool HasSchemaFile(const std::wstring& ns) {
  const std::wstring base = uri::kBase;
  return ns == base || (ns.compare(0, base.size(), base) == 0 && ns.size() > base.size() &&
                        ns[base.size()] == L'/');
}
}  // namespace

void WriteDocumentStart(CCmlOutput& out, const std::wstring& rootTag, const CNamespaceSet& set) {
  WriteXmlDeclaration(out, false);
  out << L"<" << rootTag << L" xmlns:xsi='" << uri::kXmlSchemaInstance << L"'\n";
  bool first = true;
  for (const CNamespace& ns : set) {
    if (!HasSchemaFile(ns.GetUri())) continue;
    out << (first ? L"    xsi:schemaLocation='" : L"\n    ") << ns.GetUri() << L" "
        << SchemaFilePath(ns.GetUri(), ns.GetVersion(), kDocumentSchemaFolder);
    first = false;
  }
  if (!first) out << L"'";
}

void WriteAttribute(CCmlOutput& out, const wchar_t* name, const std::wstring& value) {
  out << L" " << name << L"='" << EscapeAttributeValue(value) << L"'";
}

}  // namespace cml
}  // namespace qel
