#include "cml/cml_namespace.h"

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_memory.h"

namespace qel {
namespace cml {

CNamespace::CNamespace(std::wstring uri, std::wstring version)
    : m_uri(std::move(uri)), m_version(std::move(version)) {}

CNamespace::~CNamespace() = default;

std::unique_ptr<CNamespace> CNamespace::Clone() const {
  return GuardedClone<CNamespace>(*this, L"Cloning namespace object");
}

std::wstring NamespaceConflictText(const CNamespace& added, const CNamespace& existing) {
  return L"Namespace/schema-version conflict among descendant elements:  tried to add "
         L"namespace \"" + added.GetUri() + L"\" version " + added.GetVersion() +
         L"; set already contains namespace \"" + existing.GetUri() + L"\" version " +
         existing.GetVersion();
}

void AddNamespaceChecked(CNamespaceSet& set, CNamespace ns, const std::wstring& operation) {
  auto existing = set.find(ns);
  if (existing == set.end()) {
    set.insert(std::move(ns));  // moved, not copied, into the set
    return;
  }
  if (existing->GetVersion() == ns.GetVersion()) return;
  throw CCmlException(operation, NamespaceConflictText(ns, *existing),
                      qel::status::CML_NAMESPACE_CONFLICT);
}

}  // namespace cml
}  // namespace qel
