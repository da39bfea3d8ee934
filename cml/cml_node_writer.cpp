#include "cml/cml_node_writer.h"

#include <map>
#include <sstream>
#include <utility>
#include <vector>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMProcessingInstruction.hpp>

#include "cml/cml_codes.h"
#include "cml/cml_depth.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_exception.h"
#include "cml/cml_files.h"
#include "cml/cml_memory.h"
#include "cml/cml_serializer.h"
#include "cml/cml_settings.h"
#include "cml/cml_xerces.h"
#include "cml/cml_xml_chars.h"

namespace qel {
namespace cml {

namespace {

using xercesc::DOMAttr;
using xercesc::DOMElement;
using xercesc::DOMNode;

// The XML namespace and the local name "space", as Xerces text.
const XMLCh kXmlUri[] = u"http://www.w3.org/XML/1998/namespace";
const XMLCh kSpace[] = u"space";
const wchar_t kFormattedOperation[] = L"Serializing formatted content";
const wchar_t kPlainOperation[] = L"Serializing unformatted content";

bool IsWhitespace(const std::wstring& text) {
  return text.find_first_not_of(L" \t\r\n") == std::wstring::npos;
}

bool IsDeclaration(const std::wstring& name) {
  return name == L"xmlns" || name.compare(0, 6, L"xmlns:") == 0;
}

std::wstring DeclarationName(const std::wstring& prefix) {
  return prefix.empty() ? std::wstring(L"xmlns") : L"xmlns:" + prefix;
}

bool Written(const DOMAttr* a) { return a->getSpecified() || GetWriteDefaults(); }

// Element-only content: at least one element child, and besides elements only
// comments, processing instructions and white space. Only such content is indented.
bool ElementOnly(const DOMNode* e) {
  bool element = false;
  for (const DOMNode* c = e->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
    switch (c->getNodeType()) {
      case DOMNode::ELEMENT_NODE:
        element = true;
        break;
      case DOMNode::COMMENT_NODE:
      case DOMNode::PROCESSING_INSTRUCTION_NODE:
        break;
      case DOMNode::TEXT_NODE:
        if (!IsWhitespace(FromXml(c->getNodeValue()))) return false;
        break;
      default:
        return false;
    }
  }
  return element;
}

// xml:space of the element: 1 preserve, 0 default, -1 not stated.
int XmlSpace(const DOMNode* node) {
  if (node->getNodeType() != DOMNode::ELEMENT_NODE) return -1;
  const auto* e = static_cast<const DOMElement*>(node);
  const std::wstring value = FromXml(e->getAttributeNS(kXmlUri, kSpace));
  if (value == L"preserve") return 1;
  return value == L"default" ? 0 : -1;
}

// Whether xml:space='preserve' is in force at `node` from its ancestors.
bool PreservedAbove(const DOMNode* node) {
  for (const DOMNode* p = node->getParentNode(); p != nullptr; p = p->getParentNode()) {
    const int space = XmlSpace(p);
    if (space >= 0) return space == 1;
  }
  return false;
}

// Writes one DOM subtree. The scope holds the namespace bindings written so far on
// the path from the top of the subtree; what lies above the subtree is unknown, so
// the top element declares everything it needs.
class CNodeWriter {
 public:
  CNodeWriter(CCmlOutput& out, const wchar_t* operation) : m_out(out), m_operation(operation) {}

  void Line(const DOMNode* node, unsigned level, bool preserve);
  void Inline(const DOMNode* node);

 private:
  void Element(const DOMElement* e, unsigned level, bool formatted, bool preserve);
  void StartTag(const DOMElement* e);
  void Require(std::map<std::wstring, std::wstring>& declarations,
               std::map<std::wstring, std::wstring>& required, const std::wstring& prefix,
               const std::wstring& uri);
  void NameCheck(const DOMNode* n);
  void Comment(const std::wstring& text);
  void ProcessingInstruction(const DOMNode* n);
  void Cdata(const std::wstring& text);
  [[noreturn]] void Refuse(const std::wstring& what) const;
  bool Bound(const std::wstring& prefix, const std::wstring& uri) const;

  CCmlOutput& m_out;
  const wchar_t* m_operation;
  std::vector<std::pair<std::wstring, std::wstring>> m_scope;  // prefix -> URI
};

void CNodeWriter::Refuse(const std::wstring& what) const {
  throw CCmlException(m_operation, what, codes::kInvalidArgument);
}

bool CNodeWriter::Bound(const std::wstring& prefix, const std::wstring& uri) const {
  for (auto it = m_scope.rbegin(); it != m_scope.rend(); ++it) {
    if (it->first == prefix) return it->second == uri;
  }
  return false;
}

// A DOM level 1 node (no local name) has no namespace: a colon in its name would
// read back as an unbound prefix.
void CNodeWriter::NameCheck(const DOMNode* n) {
  const std::wstring name = FromXml(n->getNodeName());
  const bool level1 = n->getLocalName() == nullptr;
  if (level1 ? IsNCName(name) : IsQName(name)) return;
  Refuse(L"The name \"" + EscapeAttributeValue(name) +
         L"\" cannot be written as a namespace-well-formed XML name");
}

// Records that `prefix` must be bound to `uri` on the element being written.
void CNodeWriter::Require(std::map<std::wstring, std::wstring>& declarations,
                          std::map<std::wstring, std::wstring>& required,
                          const std::wstring& prefix, const std::wstring& uri) {
  if (prefix == L"xml") return;
  if (prefix == L"xmlns" || (!prefix.empty() && uri.empty())) {
    Refuse(L"The prefix \"" + EscapeAttributeValue(prefix) + L"\" cannot be bound to \"" +
           EscapeAttributeValue(uri) + L"\"");
  }
  auto earlier = required.find(prefix);
  if (earlier != required.end() && earlier->second != uri) {
    Refuse(L"The prefix \"" + EscapeAttributeValue(prefix) +
           L"\" stands for two namespaces on one element");
  }
  required[prefix] = uri;
  const std::wstring name = DeclarationName(prefix);
  auto own = declarations.find(name);
  // A declaration of the element that contradicts its own names loses to them.
  if (own != declarations.end() || !Bound(prefix, uri)) declarations[name] = uri;
}

// "<", the name, the namespace declarations (the element's own and those the written
// text needs, by name), then the other attributes in the order of the attribute map.
void CNodeWriter::StartTag(const DOMElement* e) {
  NameCheck(e);
  std::map<std::wstring, std::wstring> declarations;
  std::map<std::wstring, std::wstring> required;
  const xercesc::DOMNamedNodeMap* attrs = e->getAttributes();
  const XMLSize_t count = attrs != nullptr ? attrs->getLength() : 0;
  for (XMLSize_t i = 0; i < count; ++i) {
    const auto* a = static_cast<const DOMAttr*>(attrs->item(i));
    const std::wstring name = FromXml(a->getName());
    if (IsDeclaration(name)) declarations[name] = FromXml(a->getValue());
  }
  Require(declarations, required, FromXml(e->getPrefix()), FromXml(e->getNamespaceURI()));
  for (XMLSize_t i = 0; i < count; ++i) {
    const auto* a = static_cast<const DOMAttr*>(attrs->item(i));
    if (IsDeclaration(FromXml(a->getName())) || !Written(a)) continue;
    NameCheck(a);
    const std::wstring prefix = FromXml(a->getPrefix());
    const std::wstring uri = FromXml(a->getNamespaceURI());
    if (prefix.empty() && !uri.empty() && uri != L"http://www.w3.org/2000/xmlns/") {
      Refuse(L"The attribute \"" + EscapeAttributeValue(FromXml(a->getName())) +
             L"\" has a namespace but no prefix");
    }
    if (!prefix.empty()) Require(declarations, required, prefix, uri);
  }
  m_out << L"<" << FromXml(e->getNodeName());
  for (const auto& declaration : declarations) {
    WriteAttribute(m_out, declaration.first.c_str(), declaration.second);
    m_scope.emplace_back(declaration.first.size() > 6 ? declaration.first.substr(6) : L"",
                         declaration.second);
  }
  for (XMLSize_t i = 0; i < count; ++i) {
    const auto* a = static_cast<const DOMAttr*>(attrs->item(i));
    const std::wstring name = FromXml(a->getName());
    if (!IsDeclaration(name) && Written(a))
      WriteAttribute(m_out, name.c_str(), FromXml(a->getValue()));
  }
}

void CNodeWriter::Element(const DOMElement* e, unsigned level, bool formatted, bool preserve) {
  const std::size_t outer = m_scope.size();
  const int space = XmlSpace(e);
  if (space >= 0) preserve = space == 1;
  StartTag(e);
  if (!e->hasChildNodes()) {
    m_out << L"/>";
  } else if (formatted && !preserve && ElementOnly(e)) {
    m_out << L">\n";
    for (const DOMNode* c = e->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
      Line(c, level + 1, preserve);
    }
    m_out.Indent(level);
    m_out << L"</" << FromXml(e->getNodeName()) << L">";
  } else {
    m_out << L">";
    for (const DOMNode* c = e->getFirstChild(); c != nullptr; c = c->getNextSibling()) Inline(c);
    m_out << L"</" << FromXml(e->getNodeName()) << L">";
  }
  m_scope.resize(outer);
}

// One node of element-only content (or the top of a formatted write) on a line of its
// own; white space between such nodes is the formatter's, not content.
void CNodeWriter::Line(const DOMNode* node, unsigned level, bool preserve) {
  const short type = node->getNodeType();
  if (type == DOMNode::TEXT_NODE && IsWhitespace(FromXml(node->getNodeValue()))) {
    return;
  }
  if (type == DOMNode::DOCUMENT_NODE || type == DOMNode::DOCUMENT_FRAGMENT_NODE) {
    for (const DOMNode* c = node->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
      Line(c, level, preserve);
    }
    return;
  }
  m_out.Indent(level);
  if (type == DOMNode::ELEMENT_NODE) {
    Element(static_cast<const DOMElement*>(node), level, true, preserve);
  } else {
    Inline(node);
  }
  m_out << L"\n";
}

void CNodeWriter::Inline(const DOMNode* node) {
  switch (node->getNodeType()) {
    case DOMNode::ELEMENT_NODE:
      Element(static_cast<const DOMElement*>(node), 0, false, true);
      break;
    case DOMNode::TEXT_NODE:
      m_out.Escaped(FromXml(node->getNodeValue()), false);
      break;
    case DOMNode::CDATA_SECTION_NODE:
      Cdata(FromXml(node->getNodeValue()));
      break;
    case DOMNode::COMMENT_NODE:
      Comment(FromXml(node->getNodeValue()));
      break;
    case DOMNode::PROCESSING_INSTRUCTION_NODE:
      ProcessingInstruction(node);
      break;
    case DOMNode::ENTITY_REFERENCE_NODE:  // written expanded: no entity is declared
    case DOMNode::DOCUMENT_NODE:
    case DOMNode::DOCUMENT_FRAGMENT_NODE:
      for (const DOMNode* c = node->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
        Inline(c);
      }
      break;
    default:  // document types, entities, notations, attributes: not content
      break;
  }
}

// "]]>" cannot stand inside a CDATA section, and a CR in it would read back as LF:
// the section is split before the ">", and a CR goes between two sections as a
// character reference. The text reads back the same (as adjacent sections).
void CNodeWriter::Cdata(const std::wstring& text) {
  m_out << L"<![CDATA[";
  for (std::size_t start = 0, end;; start = end) {
    end = text.find_first_of(L"]\r", start);
    if (end == std::wstring::npos) {
      m_out.CharacterData(text.substr(start));
      break;
    }
    if (text[end] == L'\r') {
      m_out.CharacterData(text.substr(start, end - start));
      m_out << L"]]>&#xd;<![CDATA[";
      ++end;
    } else if (text.compare(end, 3, L"]]>") == 0) {
      m_out.CharacterData(text.substr(start, end + 2 - start));
      m_out << L"]]><![CDATA[";
      end += 2;
    } else {
      m_out.CharacterData(text.substr(start, ++end - start));
    }
  }
  m_out << L"]]>";
}

void CNodeWriter::Comment(const std::wstring& text) {
  if (!IsWritableComment(text)) {
    Refuse(L"A comment holding \"--\" or a CR, or ending with \"-\", cannot be written");
  }
  m_out << L"<!--";
  m_out.CharacterData(text);
  m_out << L"-->";
}

void CNodeWriter::ProcessingInstruction(const DOMNode* n) {
  const auto* pi = static_cast<const xercesc::DOMProcessingInstruction*>(n);
  const std::wstring target = FromXml(pi->getTarget());
  const std::wstring data = FromXml(pi->getData());
  if (!IsWritableProcessingInstruction(target, data)) {
    Refuse(L"The processing instruction \"" + EscapeAttributeValue(target) +
           L"\" cannot be written");
  }
  m_out << L"<?" << target;
  if (!data.empty()) {
    m_out << L" ";
    m_out.CharacterData(data);
  }
  m_out << L"?>";
}

const DOMNode* Prepared(const CCmlDOM_Node& node, const wchar_t* operation) {
  if (node.IsNull()) ThrowDomNull("CCmlDOM_Node", "Serialize", L"The node is NULL");
  CheckElementDepth(node.GetDOMNode(), operation);
  return node.GetDOMNode();
}

template <class Stream>
void ToStream(const CCmlDOM_Node& node, Stream& os, bool formatted, unsigned level) {
  WithMemoryGuard(formatted ? kFormattedOperation : kPlainOperation, [&] {
    CCmlOutput out(os);
    if (formatted) {
      SerializeNodeFormatted(node, out, level);
    } else {
      SerializeNode(node, out);
    }
    out.Finish();
  });
}

void ToFile(const CCmlDOM_Node& node, const char* path, bool formatted) {
  const wchar_t* operation = formatted ? kFormattedOperation : kPlainOperation;
  if (path == nullptr) {
    throw CCmlException(operation, L"NULL pointer received", codes::kInvalidArgument);
  }
  std::ostringstream text;
  CUtf8LocaleGuard utf8(text);
  ToStream(node, text, formatted, 0);
  ReplaceFile(path, text.str(), operation);
}

}  // namespace

void SerializeNode(const CCmlDOM_Node& node, CCmlOutput& out) {
  WithDomErrors(kPlainOperation, [&] {
    CNodeWriter writer(out, kPlainOperation);
    writer.Inline(Prepared(node, kPlainOperation));
  });
}

void SerializeNodeFormatted(const CCmlDOM_Node& node, CCmlOutput& out, unsigned level) {
  WithDomErrors(kFormattedOperation, [&] {
    const DOMNode* top = Prepared(node, kFormattedOperation);
    CNodeWriter writer(out, kFormattedOperation);
    writer.Line(top, level, PreservedAbove(top));
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
