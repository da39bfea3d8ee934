#include "cml/cml_implicit_namespaces.h"

#include <atomic>
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
  std::atomic<std::uint64_t> generation{1};  // changed under the lock
};
// Never destroyed: parsers on other threads may read it while the process exits.
ImplicitSet& Shared() {
  static ImplicitSet* shared = new ImplicitSet;
  return *shared;
}

// Caller holds the lock exclusively.
void AddLocked(const CNamespace& ns) {
  auto result = Shared().set.insert(ns);
  if (result.second) Shared().generation.fetch_add(1);
  if (result.second || result.first->GetVersion() == ns.GetVersion()) return;
  throw CCmlException(L"Adding implicit namespace to CML parser",
                      L"Namespace/schema-version conflict:  tried to add namespace \"" +
                          ns.GetUri() + L"\" version " + ns.GetVersion() +
                          L"; set already contains namespace \"" + result.first->GetUri() +
                          L"\" version " + result.first->GetVersion(),
                      qel::status::CML_NAMESPACE_CONFLICT);
}
}  // namespace

void CImplicitNamespaces::Add(const CNamespace& ns) {
  std::unique_lock<std::shared_mutex> guard(Shared().lock);
  AddLocked(ns);
}

std::uint64_t CImplicitNamespaces::AddAll(const std::vector<CNamespace>& set) {
  std::unique_lock<std::shared_mutex> guard(Shared().lock);
  for (const CNamespace& ns : set) AddLocked(ns);
  return Shared().generation.load();
}

std::uint64_t CImplicitNamespaces::Generation() { return Shared().generation.load(); }

void CImplicitNamespaces::Remove(const CNamespace& ns) {
  std::unique_lock<std::shared_mutex> guard(Shared().lock);
  if (Shared().set.erase(ns) != 0) Shared().generation.fetch_add(1);
}

void CImplicitNamespaces::Clear() {
  std::unique_lock<std::shared_mutex> guard(Shared().lock);
  Shared().set.clear();
  Shared().generation.fetch_add(1);
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
