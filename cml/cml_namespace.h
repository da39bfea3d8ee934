// CNamespace: one (namespace URI, schema version) pair as an instance document uses
// it, and CNamespaceSet, an ordered set of them keyed by URI only, so a set holds at
// most one version per URI. Plain values; one thread uses a given set at a time.
#ifndef QEL_CML_NAMESPACE_H
#define QEL_CML_NAMESPACE_H

#include <memory>
#include <set>
#include <string>

namespace qel {
namespace cml {

class CNamespace {
 public:
  CNamespace() = default;
  CNamespace(std::wstring uri, std::wstring version);
  CNamespace(const CNamespace&) = default;
  CNamespace(CNamespace&&) = default;
  CNamespace& operator=(const CNamespace&) = default;
  CNamespace& operator=(CNamespace&&) = default;
  virtual ~CNamespace();

  virtual std::unique_ptr<CNamespace> Clone() const;
  // Orders by URI only; the version takes no part.
  bool operator<(const CNamespace& other) const { return m_uri < other.m_uri; }
  const std::wstring& GetUri() const { return m_uri; }
  const std::wstring& GetVersion() const { return m_version; }

 private:
  std::wstring m_uri;
  std::wstring m_version;
};

using CNamespaceSet = std::set<CNamespace>;

// Adds `ns` to `set`. The same pair again changes nothing; the URI with another
// version throws CCmlException (namespace conflict) with `operation` and the text
// "Namespace/schema-version conflict among descendant elements:  tried to add ...".
void AddNamespaceChecked(CNamespaceSet& set, CNamespace ns, const std::wstring& operation);

// The conflict text used by AddNamespaceChecked, for callers that word it the same.
std::wstring NamespaceConflictText(const CNamespace& added, const CNamespace& existing);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_NAMESPACE_H
