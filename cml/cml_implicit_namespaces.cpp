#include "cml/cml_implicit_namespaces.h"

#include <mutex>
#include <shared_mutex>

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"

namespace qel {
namespace cml {

namespace {
struct ImplicitSet {
  std::shared_mutex lock;
  CNamespaceSet set;
};
// Never destroyed: parsers on other threads may read it while the process exits.
ImplicitSet& Shared() {
  static ImplicitSet* shared = new ImplicitSet;
  return *shared;
}
}  // namespace

void CImplicitNamespaces::Add(const CNamespace& ns) {
  std::unique_lock<std::shared_mutex> guard(Shared().lock);
  auto result = Shared().set.insert(ns);
  if (result.second || result.first->GetVersion() == ns.GetVersion()) return;
  throw CCmlException(L"Adding implicit namespace to CML parser",
                      L"Namespace/schema-version conflict:  tried to add namespace \"" +
                          ns.GetUri() + L"\" version " + ns.GetVersion() +
                          L"; set already contains namespace \"" + result.first->GetUri() +
                          L"\" version " + result.first->GetVersion(),
                      qel::status::CML_NAMESPACE_CONFLICT);
}

void CImplicitNamespaces::Remove(const CNamespace& ns) {
  std::unique_lock<std::shared_mutex> guard(Shared().lock);
  Shared().set.erase(ns);
}

void CImplicitNamespaces::Clear() {
  std::unique_lock<std::shared_mutex> guard(Shared().lock);
  Shared().set.clear();
}

CNamespaceSet CImplicitNamespaces::Snapshot() {
  std::shared_lock<std::shared_mutex> guard(Shared().lock);
  return Shared().set;
}

bool CImplicitNamespaces::Find(const std::wstring& uri, std::wstring& version) {
  std::shared_lock<std::shared_mutex> guard(Shared().lock);
  auto it = Shared().set.find(CNamespace(uri, L""));
  if (it == Shared().set.end()) return false;
  version = it->GetVersion();
  return true;
}

}  // namespace cml
}  // namespace qel
