#include "cml/cml_schema_info.h"

#include "cml/cml_dom_error.h"
#include "cml/cml_serializer.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

void CSchemaInfo::WriteElement(CCmlOutput& out, unsigned level) const {
  WriteOpenTag(out, level, vocab::kSchemaInfo);
  if (!m_name.empty()) WriteAttribute(out, vocab::kName, m_name);
  WriteAttribute(out, vocab::kNamespace, m_namespace);
  WriteAttribute(out, vocab::kVersion, m_version);
  out << L"/>\n";
}

void CSchemaInfo::Deserialize(const CCmlDOM_Element& element) {
  WithDomErrors(L"Parsing agent-startup-announcement/get-agent-info-response schema-info element",
                [&] {
                  m_name = element.getAttribute(vocab::kName);
                  m_namespace = element.getAttribute(vocab::kNamespace);
                  m_version = element.getAttribute(vocab::kVersion);
                });
}

}  // namespace cml
}  // namespace qel
