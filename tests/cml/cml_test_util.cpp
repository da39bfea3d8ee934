#include "cml_test_util.h"

#include <map>
#include <vector>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>

#include "cml/cml_implicit_namespaces.h"
#include "cml/cml_settings.h"
#include "cml/cml_xerces.h"
#include "cml/cml_xml_chars.h"

namespace qel {
namespace cml {
namespace test {

namespace {
using xercesc::DOMNode;

struct Item {
  const DOMNode* node;  // null for a text run
  std::wstring text;
};

std::wstring Value(const DOMNode* n, bool sanitize) {
  std::wstring value = FromXml(n->getNodeValue());
  return sanitize ? Sanitized(value) : value;
}

std::vector<Item> Content(const DOMNode* parent, bool sanitize) {
  std::vector<Item> items;
  std::wstring run;
  auto flush = [&] {
    if (run.find_first_not_of(L" \t\r\n") != std::wstring::npos) items.push_back({nullptr, run});
    run.clear();
  };
  for (const DOMNode* c = parent->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
    const short type = c->getNodeType();
    if (type == DOMNode::TEXT_NODE || type == DOMNode::CDATA_SECTION_NODE) {
      run += Value(c, sanitize);
    } else {
      flush();
      items.push_back({c, L""});
    }
  }
  flush();
  return items;
}

std::map<std::wstring, std::wstring> Attributes(const DOMNode* e, bool sanitize) {
  std::map<std::wstring, std::wstring> out;
  const xercesc::DOMNamedNodeMap* attrs = e->getAttributes();
  for (XMLSize_t i = 0; attrs != nullptr && i < attrs->getLength(); ++i) {
    const DOMNode* a = attrs->item(i);
    const std::wstring name = FromXml(a->getNodeName());
    if (name == L"xmlns" || name.compare(0, 6, L"xmlns:") == 0) continue;
    const XMLCh* local = a->getLocalName();  // null for attributes made without a namespace
    out[L"{" + FromXml(a->getNamespaceURI()) + L"}" + FromXml(local ? local : a->getNodeName())] =
        Value(a, sanitize);
  }
  return out;
}
}  // namespace

std::wstring Sanitized(const std::wstring& text) {
  std::wstring out;
  AppendCharacterData(out, text);
  return out;
}

bool SameTree(const DOMNode* a, const DOMNode* b, bool sanitizeFirst) {
  if (a == nullptr || b == nullptr || a->getNodeType() != b->getNodeType()) return false;
  if (a->getNodeType() != DOMNode::ELEMENT_NODE) {
    return FromXml(a->getNodeName()) == FromXml(b->getNodeName()) &&
           Value(a, sanitizeFirst) == Value(b, false);
  }
  if (FromXml(a->getNamespaceURI()) != FromXml(b->getNamespaceURI()) ||
      FromXml(a->getLocalName()) != FromXml(b->getLocalName()) ||
      Attributes(a, sanitizeFirst) != Attributes(b, false)) {
    return false;
  }
  const std::vector<Item> ca = Content(a, sanitizeFirst);
  const std::vector<Item> cb = Content(b, false);
  if (ca.size() != cb.size()) return false;
  for (std::size_t i = 0; i < ca.size(); ++i) {
    if ((ca[i].node == nullptr) != (cb[i].node == nullptr)) return false;
    if (ca[i].node == nullptr ? ca[i].text != cb[i].text
                              : !SameTree(ca[i].node, cb[i].node, sanitizeFirst)) {
      return false;
    }
  }
  return true;
}

CSettingsGuard::CSettingsGuard()
    : m_writeDefaults(GetWriteDefaults()), m_validation(GetValidation()),
      m_indent(GetIndentWidth()), m_folder(GetSchemaFolder()),
      m_implicit(CImplicitNamespaces::Snapshot()) {}

CSettingsGuard::~CSettingsGuard() {
  SetWriteDefaults(m_writeDefaults);
  SetValidation(m_validation);
  SetIndentWidth(m_indent);
  SetSchemaFolder(m_folder);
  CImplicitNamespaces::Clear();
  for (const CNamespace& ns : m_implicit) CImplicitNamespaces::Add(ns);
}

}  // namespace test
}  // namespace cml
}  // namespace qel
