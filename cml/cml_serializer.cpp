#include "cml/cml_serializer.h"

#include <functional>
#include <map>
#include <ostream>

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_settings.h"
#include "cml/cml_uris.h"
#include "cml/cml_vocabulary.h"
#include "cml/cml_xerces.h"
#include "cml/cml_xml_chars.h"

namespace qel {
namespace cml {

namespace {

bool IsXmlSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r'; }

// Position after a leading XML declaration, or 0 when the text has none.
std::size_t DeclarationEnd(const std::wstring& text) {
  std::size_t pos = 0;
  if (pos < text.size() && text[pos] == 0xFEFF) ++pos;
  while (pos < text.size() && IsXmlSpace(text[pos])) ++pos;
  if (text.compare(pos, 5, L"<?xml") != 0 || pos + 5 >= text.size() || !IsXmlSpace(text[pos + 5])) {
    return 0;
  }
  std::size_t end = text.find(L"?>", pos + 5);
  return end == std::wstring::npos ? 0 : end + 2;
}

std::wstring Escaped(const std::wstring& text, bool attribute) {
  std::wstring out;
  out.reserve(text.size());
  AppendEscaped(out, text, attribute);
  return out;
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

std::wstring EscapeAttributeValue(const std::wstring& text) { return Escaped(text, true); }
std::wstring EscapeContent(const std::wstring& text) { return Escaped(text, false); }
std::string EscapeAttributeValue(const std::string& text) {
  return ToUtf8(Escaped(FromUtf8(text), true));
}
std::string EscapeContent(const std::string& text) {
  return ToUtf8(Escaped(FromUtf8(text), false));
}

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

std::wstring SkipXmlDeclaration(const std::wstring& text) {
  return text.substr(DeclarationEnd(text));
}

std::string SkipXmlDeclaration(const std::string& text) {
  return ToUtf8(SkipXmlDeclaration(FromUtf8(text)));
}

bool IsCmlNamespace(const std::wstring& ns) {
  const std::size_t base = std::char_traits<wchar_t>::length(uri::kBase);
  return ns.compare(0, base, uri::kBase) == 0 && (ns.size() == base || ns[base] == L'/');
}

std::wstring SchemaFilePath(const std::wstring& uri, const std::wstring& version,
                            const std::wstring& folder) {
  if (!IsCmlNamespace(uri)) {
    throw CCmlException(L"Building schema filename", L"Invalid namespace",
                        qel::status::CML_INVALID_NAMESPACE);
  }
  std::wstring tag = version;
  for (wchar_t& c : tag) {
    if (c == L'.') c = L'_';
  }
  const std::wstring rest = uri.substr(std::wstring(uri::kBase).size());
  std::wstring path =
      rest.empty() ? folder + L"/Qel" + tag + L".xsd"
                   : folder + rest + L"/" + rest.substr(rest.rfind(L'/') + 1) + tag + L".xsd";
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
// The escaped "<uri> <schema file>" pair of a namespace's schema location. Documents
// name the same few namespaces and versions again and again, so each thread keeps the
// pairs it made (and forgets them all when it has made many).
const std::wstring& SchemaLocation(const CNamespace& ns) {
  using Versions = std::map<std::wstring, std::wstring, std::less<>>;
  thread_local std::map<std::wstring, Versions, std::less<>> cache;
  thread_local std::size_t entries = 0;
  auto uri = cache.find(ns.GetUri());
  if (uri != cache.end()) {
    auto version = uri->second.find(ns.GetVersion());
    if (version != uri->second.end()) return version->second;
  }
  if (entries >= 256) {
    cache.clear();
    entries = 0;
  }
  std::wstring pair = EscapeAttributeValue(
      ns.GetUri() + L" " + SchemaFilePath(ns.GetUri(), ns.GetVersion(), kDocumentSchemaFolder));
  ++entries;
  return cache[ns.GetUri()][ns.GetVersion()] = std::move(pair);
}
}  // namespace

void WriteDocumentStart(CCmlOutput& out, const std::wstring& rootTag, const CNamespaceSet& set) {
  RequireTagName(rootTag);
  WriteXmlDeclaration(out, false);
  out << L"<" << rootTag << L" xmlns:xsi='" << uri::kXmlSchemaInstance << L"'\n";
  bool first = true;
  // Only CML namespaces have schema files; others (kept policies) are left out.
  for (const CNamespace& ns : set) {
    if (!IsCmlNamespace(ns.GetUri())) continue;
    out << (first ? L"    xsi:schemaLocation='" : L"\n    ") << SchemaLocation(ns);
    first = false;
  }
  if (!first) out << L"'";
}

void WriteNamespaceAttributes(CCmlOutput& out, const std::wstring& tag, const std::wstring& ns) {
  WriteAttribute(out, vocab::kXmlns, ns);
  if (!HasPrefix(tag)) return;
  const std::wstring prefix = PrefixOf(tag);
  if (ns.empty() || prefix == L"xml" || prefix == L"xmlns") {
    throw CCmlException(L"Writing element",
                        L"The prefix of the tag \"" + EscapeAttributeValue(tag) +
                            L"\" cannot be bound to the namespace \"" + EscapeAttributeValue(ns) +
                            L"\"",
                        codes::kInvalidArgument);
  }
  WriteAttribute(out, (std::wstring(vocab::kXmlns) + L":" + prefix).c_str(), ns);
}

void RequireTagName(const std::wstring& tag, bool prefixAllowed) {
  if (prefixAllowed ? IsQName(tag) : IsNCName(tag)) return;
  std::wstring shown;
  AppendEscaped(shown, tag, true);
  throw CCmlException(L"Writing element",
                      L"\"" + shown + L"\" is not " +
                          (prefixAllowed ? L"an XML name" : L"an XML name without a prefix"),
                      codes::kInvalidArgument);
}

void WriteOpenTag(CCmlOutput& out, unsigned level, const std::wstring& tag, bool prefixAllowed) {
  RequireTagName(tag, prefixAllowed);
  out.Indent(level);
  out << L"<" << tag;
}

void WriteOpenTag(CCmlOutput& out, unsigned level, const wchar_t* vocabularyWord) {
  out.Indent(level);
  out << L"<" << vocabularyWord;
}

void WriteEndTag(CCmlOutput& out, unsigned level, const std::wstring& tag) {
  out.Indent(level);
  out << L"</" << tag << L">\n";
}

void WriteEndTag(CCmlOutput& out, unsigned level, const wchar_t* vocabularyWord) {
  out.Indent(level);
  out << L"</" << vocabularyWord << L">\n";
}

}  // namespace cml
}  // namespace qel
