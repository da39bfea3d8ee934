#include "cml/cml_node_writer.h"

#include <fstream>
#include <utility>
#include <vector>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMText.hpp>

#include "cml/cml_codes.h"
#include "cml/cml_depth.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_exception.h"
#include "cml/cml_files.h"
#include "cml/cml_serializer.h"
#include "cml/cml_settings.h"
#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

namespace {

using xercesc::DOMNode;

bool OnlyBlanksAndLineFeeds(const std::wstring& text) {
  return text.find_first_not_of(L" \n") == std::wstring::npos;
}

bool SkippedInFormatted(const DOMNode* node, const std::wstring& text) {
  const auto* t = static_cast<const xercesc::DOMText*>(node);
  return t->isIgnorableWhitespace() || OnlyBlanksAndLineFeeds(text);
}

// Prefix bindings declared so far on the path from the top of the written subtree:
// a prefix that is not bound there is declared again, so the text reads back alone.
using Bindings = std::vector<std::pair<std::wstring, std::wstring>>;

bool Bound(const Bindings& scope, const std::wstring& prefix, const std::wstring& uri) {
  for (auto it = scope.rbegin(); it != scope.rend(); ++it) {
    if (it->first == prefix) return it->second == uri;
  }
  return false;
}

std::wstring DeclarationName(const std::wstring& prefix) {
  return prefix.empty() ? std::wstring(L"xmlns") : L"xmlns:" + prefix;
}

// The namespace declaration an element needs: the top element of the written
// subtree always declares its namespace; nested ones when their parent's differs.
void WriteNamespaceDeclaration(const xercesc::DOMElement* e, bool top, CCmlOutput& out,
                               Bindings& scope) {
  const XMLCh* uri = e->getNamespaceURI();
  if (uri == nullptr || *uri == 0) return;
  const DOMNode* parent = e->getParentNode();
  if (!top && parent != nullptr && parent->getNodeType() == DOMNode::ELEMENT_NODE &&
      FromXml(parent->getNamespaceURI()) == FromXml(uri) &&
      FromXml(parent->getPrefix()) == FromXml(e->getPrefix())) {
    return;
  }
  std::wstring prefix = FromXml(e->getPrefix());
  std::wstring attr = DeclarationName(prefix);
  if (e->getAttributeNode(ToXml(attr).c_str()) != nullptr) return;
  // A prefixed element gets its prefix bound, so the subtree reads back the same.
  WriteAttribute(out, attr.c_str(), FromXml(uri));
  scope.emplace_back(prefix, FromXml(uri));
}

bool Written(const xercesc::DOMAttr* a) { return a->getSpecified() || GetWriteDefaults(); }

// Records the element's own declarations, then declares the prefixes of its
// attributes that are bound above the written subtree only.
void WriteAttributePrefixes(const xercesc::DOMElement* e, CCmlOutput& out, Bindings& scope) {
  const xercesc::DOMNamedNodeMap* attrs = e->getAttributes();
  const XMLSize_t count = attrs != nullptr ? attrs->getLength() : 0;
  for (XMLSize_t i = 0; i < count; ++i) {
    const auto* a = static_cast<const xercesc::DOMAttr*>(attrs->item(i));
    std::wstring name = FromXml(a->getName());
    if (name == L"xmlns") scope.emplace_back(L"", FromXml(a->getValue()));
    if (name.compare(0, 6, L"xmlns:") == 0) {
      scope.emplace_back(name.substr(6), FromXml(a->getValue()));
    }
  }
  for (XMLSize_t i = 0; i < count; ++i) {
    const auto* a = static_cast<const xercesc::DOMAttr*>(attrs->item(i));
    std::wstring prefix = FromXml(a->getPrefix());
    if (prefix.empty() || prefix == L"xml" || prefix == L"xmlns" || !Written(a)) continue;
    std::wstring uri = FromXml(a->getNamespaceURI());
    if (Bound(scope, prefix, uri)) continue;
    WriteAttribute(out, DeclarationName(prefix).c_str(), uri);
    scope.emplace_back(prefix, uri);
  }
}

void WriteStartTag(const DOMNode* node, bool top, CCmlOutput& out, Bindings& scope) {
  const auto* e = static_cast<const xercesc::DOMElement*>(node);
  out << L"<" << FromXml(e->getNodeName());
  WriteNamespaceDeclaration(e, top, out, scope);
  WriteAttributePrefixes(e, out, scope);
  const xercesc::DOMNamedNodeMap* attrs = e->getAttributes();
  for (XMLSize_t i = 0; attrs != nullptr && i < attrs->getLength(); ++i) {
    const auto* a = static_cast<const xercesc::DOMAttr*>(attrs->item(i));
    if (!Written(a)) continue;
    WriteAttribute(out, FromXml(a->getName()).c_str(), FromXml(a->getValue()));
  }
  out << (e->hasChildNodes() ? L">" : L"/>");
}

void WriteFormatted(const DOMNode* node, CCmlOutput& out, unsigned level, bool top,
                    Bindings& scope) {
  switch (node->getNodeType()) {
    case DOMNode::ELEMENT_NODE: {
      const std::size_t outer = scope.size();
      out << Indent(level);
      WriteStartTag(node, top, out, scope);
      out << L"\n";
      if (node->hasChildNodes()) {
        for (DOMNode* c = node->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
          WriteFormatted(c, out, level + 1, false, scope);
        }
        out << Indent(level) << L"</" << FromXml(node->getNodeName()) << L">\n";
      }
      scope.resize(outer);
      break;
    }
    case DOMNode::TEXT_NODE: {
      std::wstring text = FromXml(node->getNodeValue());
      if (!SkippedInFormatted(node, text)) out << Indent(level) << EscapeContent(text) << L"\n";
      break;
    }
    case DOMNode::CDATA_SECTION_NODE: {
      std::wstring text = FromXml(node->getNodeValue());
      if (!SkippedInFormatted(node, text)) {
        out << Indent(level) << L"<![CDATA[" << text << L"]]>\n";
      }
      break;
    }
    case DOMNode::COMMENT_NODE:
      out << Indent(level) << L"<!--" << FromXml(node->getNodeValue()) << L"-->\n";
      break;
    default:
      out << L"\nUnrecognized node type:  " << std::to_wstring(node->getNodeType());
  }
}

void WritePlain(const DOMNode* node, CCmlOutput& out, bool top, Bindings& scope) {
  switch (node->getNodeType()) {
    case DOMNode::ELEMENT_NODE: {
      const std::size_t outer = scope.size();
      WriteStartTag(node, top, out, scope);
      if (node->hasChildNodes()) {
        for (DOMNode* c = node->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
          WritePlain(c, out, false, scope);
        }
        out << L"</" << FromXml(node->getNodeName()) << L">";
      }
      scope.resize(outer);
      break;
    }
    case DOMNode::TEXT_NODE:
      out << EscapeContent(FromXml(node->getNodeValue()));
      break;
    case DOMNode::CDATA_SECTION_NODE: {
      std::wstring text = FromXml(node->getNodeValue());
      if (!text.empty()) out << L"<![CDATA[" << text << L"]]>";
      break;
    }
    case DOMNode::COMMENT_NODE:
      out << L"<!--" << FromXml(node->getNodeValue()) << L"-->";
      break;
    default:
      break;
  }
}

const DOMNode* Prepared(const CCmlDOM_Node& node, const wchar_t* operation) {
  if (node.IsNull()) ThrowDomNull("CCmlDOM_Node", "Serialize", L"The node is NULL");
  CheckElementDepth(node.GetDOMNode(), operation);
  return node.GetDOMNode();
}

template <class Stream>
void ToStream(const CCmlDOM_Node& node, Stream& os, bool formatted, unsigned level) {
  CCmlOutput out(os);
  if (formatted) {
    SerializeNodeFormatted(node, out, level);
  } else {
    SerializeNode(node, out);
  }
  out.Finish();
}

void ToFile(const CCmlDOM_Node& node, const char* path, bool formatted) {
  const wchar_t* operation =
      formatted ? L"Serializing formatted content" : L"Serializing unformatted content";
  if (path == nullptr) {
    throw CCmlException(operation, L"NULL pointer received", codes::kInvalidArgument);
  }
  CreateFolderFor(path, operation);
  std::ofstream file(path, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!file) {
    throw CCmlException(operation, L"Unable to open file '" + FromUtf8(path) + L"'",
                        codes::kFileOpen);
  }
  CUtf8LocaleGuard utf8(file);
  ToStream(node, file, formatted, 0);
}

}  // namespace

void SerializeNode(const CCmlDOM_Node& node, CCmlOutput& out) {
  const wchar_t* operation = L"Serializing unformatted content";
  WithDomErrors(operation, [&] {
    Bindings scope;
    WritePlain(Prepared(node, operation), out, true, scope);
  });
}

void SerializeNodeFormatted(const CCmlDOM_Node& node, CCmlOutput& out, unsigned level) {
  const wchar_t* operation = L"Serializing formatted content";
  WithDomErrors(operation, [&] {
    Bindings scope;
    WriteFormatted(Prepared(node, operation), out, level, true, scope);
  });
}

void SerializeNode(const CCmlDOM_Node& node, std::wostream& os) { ToStream(node, os, false, 0); }
void SerializeNode(const CCmlDOM_Node& node, std::ostream& os) {
  CUtf8LocaleGuard utf8(os);
  ToStream(node, os, false, 0);
}
void SerializeNodeFormatted(const CCmlDOM_Node& node, std::wostream& os, unsigned level) {
  ToStream(node, os, true, level);
}
void SerializeNodeFormatted(const CCmlDOM_Node& node, std::ostream& os, unsigned level) {
  CUtf8LocaleGuard utf8(os);
  ToStream(node, os, true, level);
}

void SerializeNodeToFile(const CCmlDOM_Node& node, const char* path) { ToFile(node, path, false); }
void SerializeNodeFormattedToFile(const CCmlDOM_Node& node, const char* path) {
  ToFile(node, path, true);
}

}  // namespace cml
}  // namespace qel
