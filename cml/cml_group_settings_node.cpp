#include "cml/cml_group_settings_node.h"

#include <algorithm>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "cml/cml_codes.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_exception.h"
#include "cml/cml_serializer.h"
#include "cml/cml_settings.h"
#include "cml/cml_vocabulary.h"
#include "cml/cml_xerces.h"
#include "cml/cml_xml_chars.h"

namespace qel {
namespace cml {

namespace {
const wchar_t kWriteOperation[] = L"Serializing group settings";

bool IsWhitespace(const std::wstring& text) {
  return text.find_first_not_of(L" \t\r\n") == std::wstring::npos;
}

bool IsDeclaration(const std::wstring& name) {
  return name == L"xmlns" || name.compare(0, 6, L"xmlns:") == 0;
}

[[noreturn]] void RefuseAttribute(const std::wstring& name) {
  throw CCmlException(kWriteOperation,
                      L"The attribute \"" + EscapeAttributeValue(name) + L"\" cannot be written",
                      codes::kInvalidArgument);
}
}  // namespace

const std::wstring* CGroupSettingsNode::GetAttribute(const std::wstring& name) const {
  for (const Attribute& a : m_attributes) {
    if (a.name == name && a.namespaceUri.empty()) return &a.value;
  }
  return nullptr;
}

void CGroupSettingsNode::SetAttribute(const std::wstring& name, const std::wstring& value) {
  SetAttributeNS(L"", name, value);
}

// Attributes are kept in the order a DOM keeps them (by name, compared in UTF-16
// units), so that a node read back is written exactly as it was.
void CGroupSettingsNode::SetAttributeNS(const std::wstring& uri, const std::wstring& qualifiedName,
                                        const std::wstring& value) {
  const std::u16string key = ToXml(qualifiedName);
  auto it = m_attributes.begin();
  for (; it != m_attributes.end(); ++it) {
    if (it->name == qualifiedName) {
      it->namespaceUri = uri;
      it->value = value;
      return;
    }
    if (key < ToXml(it->name)) break;
  }
  m_attributes.insert(it, Attribute{qualifiedName, uri, value});
}

void CGroupSettingsNode::RemoveAttribute(const std::wstring& name) {
  m_attributes.erase(std::remove_if(m_attributes.begin(), m_attributes.end(),
                                    [&](const Attribute& a) { return a.name == name; }),
                     m_attributes.end());
}

CGroupSettingsNode CGroupSettingsNode::MakeComment(std::wstring text) {
  CGroupSettingsNode node;
  node.m_kind = Kind::Comment;
  node.m_text = std::move(text);
  return node;
}

CGroupSettingsNode CGroupSettingsNode::MakeProcessingInstruction(std::wstring target,
                                                                 std::wstring data) {
  CGroupSettingsNode node;
  node.m_kind = Kind::ProcessingInstruction;
  node.m_name = std::move(target);
  node.m_text = std::move(data);
  return node;
}

CGroupSettingsNode& CGroupSettingsNode::AddChild(const std::wstring& name, const std::wstring& ns) {
  m_children.emplace_back(name, ns);
  return m_children.back();
}

CGroupSettingsNode& CGroupSettingsNode::AddComment(const std::wstring& text) {
  m_children.push_back(MakeComment(text));
  return m_children.back();
}

CGroupSettingsNode& CGroupSettingsNode::AddProcessingInstruction(const std::wstring& target,
                                                                 const std::wstring& data) {
  m_children.push_back(MakeProcessingInstruction(target, data));
  return m_children.back();
}

const CGroupSettingsNode* CGroupSettingsNode::FindChild(const std::wstring& name,
                                                        const std::wstring& ns) const {
  for (const CGroupSettingsNode& child : m_children) {
    if (child.m_kind == Kind::Element && child.m_name == name && child.m_namespace == ns) {
      return &child;
    }
  }
  return nullptr;
}

CGroupSettingsNode* CGroupSettingsNode::FindChild(const std::wstring& name,
                                                  const std::wstring& ns) {
  return const_cast<CGroupSettingsNode*>(
      static_cast<const CGroupSettingsNode*>(this)->FindChild(name, ns));
}

// A prefixed attribute brings the declaration of its prefix along.
void CGroupSettingsNode::WriteAttributes(CCmlOutput& out) const {
  std::vector<std::wstring> declared;
  for (const Attribute& a : m_attributes) {
    const std::wstring prefix = PrefixOf(a.name);
    if (!IsQName(a.name) || IsDeclaration(a.name) || prefix == L"xmlns" ||
        (!prefix.empty() && prefix != L"xml" && a.namespaceUri.empty())) {
      RefuseAttribute(a.name);
    }
    if (!prefix.empty() && prefix != L"xml" &&
        std::find(declared.begin(), declared.end(), prefix) == declared.end()) {
      WriteAttribute(out, (L"xmlns:" + prefix).c_str(), a.namespaceUri);
      declared.push_back(prefix);
    }
    WriteAttribute(out, a.name.c_str(), a.value);
  }
}

// A comment or processing instruction, on a line of its own unless inline.
void CGroupSettingsNode::WriteMarkup(CCmlOutput& out, unsigned level) const {
  const bool comment = m_kind == Kind::Comment;
  if (comment ? !IsWritableComment(m_text) : !IsWritableProcessingInstruction(m_name, m_text)) {
    throw CCmlException(kWriteOperation,
                        comment ? L"A comment that would not read back cannot be written"
                                : L"The processing instruction \"" + EscapeAttributeValue(m_name) +
                                      L"\" cannot be written",
                        codes::kInvalidArgument);
  }
  if (level != kInline) out.Indent(level);
  if (comment) {
    out << L"<!--";
    out.CharacterData(m_text);
    out << L"-->";
  } else {
    out << L"<?" << m_name;
    if (!m_text.empty()) out << L" ";
    out.CharacterData(m_text);
    out << L"?>";
  }
  if (level != kInline) out << L"\n";
}

void CGroupSettingsNode::WriteElement(CCmlOutput& out, unsigned level,
                                      const std::wstring& parentNamespace, unsigned depth) const {
  if (m_kind != Kind::Element) {
    WriteMarkup(out, level);
    return;
  }
  if (depth > kMaxElementDepth) {
    throw CCmlException(kWriteOperation, L"Group settings nest deeper than the limit",
                        qel::status::CML_TOO_DEEP);
  }
  const bool formatted = level != kInline;
  if (formatted) {
    WriteOpenTag(out, level, m_name, false);
  } else {
    RequireTagName(m_name, false);
    out << L"<" << m_name;
  }
  if (m_namespace != parentNamespace) WriteAttribute(out, vocab::kXmlns, m_namespace);
  WriteAttributes(out);
  const bool text = !m_text.empty() && !(IsWhitespace(m_text) && !m_children.empty());
  if (m_children.empty() && !text) {
    out << (formatted ? L"/>\n" : L"/>");
    return;
  }
  out << L">";
  if (text) out.Escaped(m_text, false);
  // Children beside text stay inline, so the text reads back exactly.
  const unsigned childLevel = formatted && !text ? level + 1 : kInline;
  if (childLevel != kInline && !m_children.empty()) out << L"\n";
  for (const CGroupSettingsNode& child : m_children) {
    child.WriteElement(out, childLevel, m_namespace, depth + 1);
  }
  if (childLevel != kInline && !m_children.empty()) out.Indent(level);
  out << L"</" << m_name << (formatted ? L">\n" : L">");
}

void CGroupSettingsNode::Deserialize(const CCmlDOM_Element& element) {
  m_name = element.getLocalName();
  m_namespace = element.getNamespaceURI();
  m_kind = Kind::Element;
  m_attributes.clear();
  m_children.clear();
  const xercesc::DOMNamedNodeMap* attrs = element.GetDOMElement()->getAttributes();
  for (XMLSize_t i = 0; attrs != nullptr && i < attrs->getLength(); ++i) {
    const auto* a = static_cast<const xercesc::DOMAttr*>(attrs->item(i));
    const std::wstring name = FromXml(a->getName());
    if (IsDeclaration(name) || !a->getSpecified()) continue;
    const std::wstring uri = PrefixOf(name).empty() ? L"" : FromXml(a->getNamespaceURI());
    SetAttributeNS(uri, name, FromXml(a->getValue()));
  }
  m_text = ReadChildren(element, m_children);
}

std::wstring CGroupSettingsNode::ReadChildren(const CCmlDOM_Node& parent,
                                              std::vector<CGroupSettingsNode>& nodes) {
  std::wstring text;
  for (CCmlDOM_Node node = parent.getFirstChild(); !node.IsNull(); node = node.getNextSibling()) {
    switch (node.getNodeType()) {
      case xercesc::DOMNode::ELEMENT_NODE:
        nodes.emplace_back();
        nodes.back().Deserialize(CCmlDOM_Element(node));
        break;
      case xercesc::DOMNode::COMMENT_NODE:
        nodes.push_back(MakeComment(node.getNodeValue()));
        break;
      case xercesc::DOMNode::PROCESSING_INSTRUCTION_NODE:
        nodes.push_back(MakeProcessingInstruction(node.getNodeName(), node.getNodeValue()));
        break;
      case xercesc::DOMNode::TEXT_NODE:
      case xercesc::DOMNode::CDATA_SECTION_NODE:
        text += node.getNodeValue();
        break;
      default:
        break;
    }
  }
  if (!nodes.empty() && IsWhitespace(text)) text.clear();
  return text;
}

}  // namespace cml
}  // namespace qel
