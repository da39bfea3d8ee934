#include "cml/cml_avp_section.h"

#include <xercesc/dom/DOMNode.hpp>

#include "cml/cml_dom_error.h"
#include "cml/cml_serializer.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

CNameValuePair& CAvpSection::AddParam(const std::wstring& ns, const std::wstring& name,
                                      const std::wstring& value, std::int32_t ordinal) {
  m_params.emplace_back(ns, name, value, ordinal);
  return m_params.back();
}

const std::wstring* CAvpSection::FindValue(const std::wstring& name) const {
  for (const CNameValuePair& param : m_params) {
    if (param.GetName() == name) return &param.GetValue();
  }
  return nullptr;
}

void CAvpSection::WriteElement(CCmlOutput& out, unsigned level) const {
  WriteOpenTag(out, level, vocab::kSection);
  WriteAttribute(out, vocab::kName, m_name);
  if (m_params.empty()) {
    out << L"/>\n";
    return;
  }
  out << L">\n";
  for (const CNameValuePair& param : m_params) param.WriteElement(out, level + 1);
  WriteEndTag(out, level, vocab::kSection);
}

void CAvpSection::Deserialize(const CCmlDOM_Element& element, const std::wstring& ns) {
  WithDomErrors(L"Parsing AVP section element", [&] {
    m_name = element.getAttribute(vocab::kName);
    m_params.clear();
    for (CCmlDOM_Node node = element.getFirstChild(); !node.IsNull();
         node = node.getNextSibling()) {
      if (node.getNodeType() != xercesc::DOMNode::ELEMENT_NODE) continue;
      CCmlDOM_Element child(node);
      if (child.getNamespaceURI() != ns || child.getLocalName() != vocab::kParam) continue;
      m_params.emplace_back();
      m_params.back().Deserialize(child);
    }
  });
}

}  // namespace cml
}  // namespace qel
