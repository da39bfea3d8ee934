#include "cml/cml_schema_exception.h"

#include <tuple>

#include "cml/cml_memory.h"

namespace qel {
namespace cml {

CSchemaIncompatibility::CSchemaIncompatibility(std::wstring uri, std::wstring supported,
                                               std::wstring instance)
    : m_uri(std::move(uri)), m_supported(std::move(supported)), m_instance(std::move(instance)) {}

bool CSchemaIncompatibility::operator<(const CSchemaIncompatibility& other) const {
  return std::tie(m_uri, m_supported, m_instance) <
         std::tie(other.m_uri, other.m_supported, other.m_instance);
}

std::unique_ptr<CSchemaIncompatibility> CSchemaIncompatibility::Clone() const {
  return GuardedClone<CSchemaIncompatibility>(*this, L"Cloning schema incompatibility");
}

CSchemaException::CSchemaException(std::wstring operation, std::wstring text, std::uint32_t code)
    : CCmlException(std::move(operation), std::move(text), code) {}

CSchemaException::CSchemaException(const CCmlException& base)
    : CCmlException(base.GetOperation(), base.GetText(), base.GetCode()) {
  if (const auto* schema = dynamic_cast<const CSchemaException*>(&base)) {
    m_incompatibilities = schema->m_incompatibilities;
  }
}

CSchemaException::~CSchemaException() = default;

void CSchemaException::AddIncompatibility(const std::wstring& uri, const std::wstring& supported,
                                          const std::wstring& instance) {
  m_incompatibilities.insert(CSchemaIncompatibility(uri, supported, instance));
}

}  // namespace cml
}  // namespace qel
