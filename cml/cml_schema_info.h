// CSchemaInfo: one entry of an agent's schema list ("schema-info": the schema's name,
// namespace and version), written as an empty element. The schema inventory documents
// that carry more about a schema are not modelled. A plain value.
#ifndef QEL_CML_SCHEMA_INFO_H
#define QEL_CML_SCHEMA_INFO_H

#include <string>
#include <utility>

#include "cml/cml_dom_element.h"
#include "cml/cml_output.h"

namespace qel {
namespace cml {

class CSchemaInfo {
 public:
  CSchemaInfo() = default;
  CSchemaInfo(std::wstring name, std::wstring ns, std::wstring version)
      : m_name(std::move(name)), m_namespace(std::move(ns)), m_version(std::move(version)) {}

  const std::wstring& GetName() const { return m_name; }
  const std::wstring& GetNamespace() const { return m_namespace; }
  const std::wstring& GetVersion() const { return m_version; }
  void SetName(std::wstring v) { m_name = std::move(v); }
  void SetNamespace(std::wstring v) { m_namespace = std::move(v); }
  void SetVersion(std::wstring v) { m_version = std::move(v); }

  // "name" when not empty, "namespace" and "version" always.
  void WriteElement(CCmlOutput& out, unsigned level) const;
  void Deserialize(const CCmlDOM_Element& element);

 private:
  std::wstring m_name;
  std::wstring m_namespace;
  std::wstring m_version;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_SCHEMA_INFO_H
