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

CGroupSettingsNode& CGroupSettingsNode::AddChild(const std::wstring& name, const std::wstring& ns) {
  m_children.emplace_back(name, ns);
  return m_children.back();
}

const CGroupSettingsNode* CGroupSettingsNode::FindChild(const std::wstring& name,
                                                        const std::wstring& ns) const {
  for (const CGroupSettingsNode& child : m_children) {
    if (child.m_name == name && child.m_namespace == ns) return &child;
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

void CGroupSettingsNode::WriteElement(CCmlOutput& out, unsigned level,
                                      const std::wstring& parentNamespace, unsigned depth) const {
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
  m_attributes.clear();
  m_text.clear();
  m_children.clear();
  const xercesc::DOMNamedNodeMap* attrs = element.GetDOMElement()->getAttributes();
  for (XMLSize_t i = 0; attrs != nullptr && i < attrs->getLength(); ++i) {
    const auto* a = static_cast<const xercesc::DOMAttr*>(attrs->item(i));
    const std::wstring name = FromXml(a->getName());
    if (IsDeclaration(name) || !a->getSpecified()) continue;
    const std::wstring uri = PrefixOf(name).empty() ? L"" : FromXml(a->getNamespaceURI());
    SetAttributeNS(uri, name, FromXml(a->getValue()));
  }
  for (CCmlDOM_Node node = element.getFirstChild(); !node.IsNull(); node = node.getNextSibling()) {
    const short type = node.getNodeType();
    if (type == xercesc::DOMNode::ELEMENT_NODE) {
      m_children.emplace_back();
      m_children.back().Deserialize(CCmlDOM_Element(node));
    } else if (type == xercesc::DOMNode::TEXT_NODE ||
               type == xercesc::DOMNode::CDATA_SECTION_NODE) {
      m_text += node.getNodeValue();
    }
  }
  if (!m_children.empty() && IsWhitespace(m_text)) m_text.clear();
}

}  // namespace cml
}  // namespace qel
