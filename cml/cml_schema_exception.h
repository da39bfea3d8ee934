// CSchemaIncompatibility and CSchemaException: a validation failure together with
// the namespaces whose instance versions the library does not support, so that a
// caller can answer with a schema-not-supported response. Plain values.
#ifndef QEL_CML_SCHEMA_EXCEPTION_H
#define QEL_CML_SCHEMA_EXCEPTION_H

#include <memory>
#include <set>
#include <string>

#include "cml/cml_exception.h"

namespace qel {
namespace cml {

class CSchemaIncompatibility {
 public:
  CSchemaIncompatibility(std::wstring uri, std::wstring supported, std::wstring instance);
  const std::wstring& GetNamespace() const { return m_uri; }
  const std::wstring& GetSupportedVersion() const { return m_supported; }
  const std::wstring& GetInstanceVersion() const { return m_instance; }
  // Lexicographic over namespace, supported version, instance version.
  bool operator<(const CSchemaIncompatibility& other) const;
  std::unique_ptr<CSchemaIncompatibility> Clone() const;

 private:
  std::wstring m_uri;
  std::wstring m_supported;
  std::wstring m_instance;
};

class CSchemaException : public CCmlException {
 public:
  using Set = std::set<CSchemaIncompatibility>;

  CSchemaException(std::wstring operation, std::wstring text, std::uint32_t code);
  explicit CSchemaException(const CCmlException& base);
  ~CSchemaException() override;

  // Appended after the operations of CCmlException, in this order.
  virtual void AddIncompatibility(const std::wstring& uri, const std::wstring& supported,
                                  const std::wstring& instance);
  virtual Set::const_iterator begin() const { return m_incompatibilities.begin(); }
  virtual Set::const_iterator end() const { return m_incompatibilities.end(); }
  virtual std::size_t GetCount() const { return m_incompatibilities.size(); }
  virtual const Set& GetIncompatibilities() const { return m_incompatibilities; }
  virtual Set& GetIncompatibilities() { return m_incompatibilities; }

 private:
  Set m_incompatibilities;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_SCHEMA_EXCEPTION_H
