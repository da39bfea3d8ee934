#include "cml/cml_class_factory.h"

#include "cml/cml_codes.h"
#include "cml/cml_dom_error.h"
#include "cml/cml_exception.h"
#include "cml/cml_memory.h"
#include "cml/cml_schema_version.h"
#include "cml/cml_vocabulary.h"

namespace qel {
namespace cml {

namespace {
// Never destroyed: the holder below may still lock it while the process exits.
std::recursive_mutex& FactoryLock() {
  static std::recursive_mutex* lock = new std::recursive_mutex;
  return *lock;
}
}  // namespace

// Owns the one factory; deletes it (and every prototype) when the library unloads.
struct CCmlClassFactoryHolder {
  std::unique_ptr<CCmlClassFactory> factory;
  ~CCmlClassFactoryHolder() {
    std::lock_guard<std::recursive_mutex> guard(FactoryLock());
    factory.reset();
  }
};

namespace {
CCmlClassFactoryHolder g_holder;
}  // namespace

CCmlClassFactory::CCmlClassFactory() = default;
CCmlClassFactory::~CCmlClassFactory() = default;

CCmlClassFactory* CCmlClassFactory::GetGlobalFactory() {
  std::lock_guard<std::recursive_mutex> guard(FactoryLock());
  if (!g_holder.factory) {
    WithMemoryGuard(L"Creating global class factory",
                    [] { g_holder.factory.reset(new CCmlClassFactory); });
  }
  return g_holder.factory.get();
}

std::unique_lock<std::recursive_mutex> CCmlClassFactory::Guard() {
  return std::unique_lock<std::recursive_mutex>(FactoryLock());
}

CCmlDocumentClassFactory* CCmlClassFactory::RegisterNamespace(const std::wstring& uri,
                                                              const std::wstring& version) {
  std::lock_guard<std::recursive_mutex> guard(FactoryLock());
  if (uri.empty() && version.empty()) {
    throw CCmlException(L"Registering namespace with global class factory",
                        L"One or more arguments are invalid", codes::kInvalidArgument);
  }
  return WithMemoryGuard(L"Registering namespace with global class factory", [&] {
    std::unique_ptr<CCmlDocumentClassFactory>& slot = m_namespaces[uri][version];
    if (!slot) slot = std::make_unique<CCmlDocumentClassFactory>();
    return slot.get();
  });
}

CCmlDocumentBase* CCmlClassFactory::RegisterDocumentObject(const std::wstring& uri,
                                                           const std::wstring& version,
                                                           const std::wstring& tag,
                                                           const CCmlDocumentBase& prototype) {
  std::lock_guard<std::recursive_mutex> guard(FactoryLock());
  CCmlDocumentClassFactory* factory = RegisterNamespace(uri, version);
  if (factory == nullptr) {
    throw CCmlException(L"Registering document object for namespace '" + uri +
                            L"' schema version '" + version + L"'",
                        L"Internal error:  no document class factory", codes::kNoFactory);
  }
  return factory->AddTagname(tag, prototype);
}

void CCmlClassFactory::RegisterDocumentObject(const std::wstring& uri,
                                              const std::vector<std::wstring>& versions,
                                              const std::wstring& tag,
                                              const CCmlDocumentBase& prototype) {
  std::lock_guard<std::recursive_mutex> guard(FactoryLock());
  for (const std::wstring& version : versions) {
    CCmlDocumentBase* stored = RegisterDocumentObject(uri, version, tag, prototype);
    stored->SetTagName(tag);
    stored->SetInstanceSchemaVersion(version);
  }
}

void CCmlClassFactory::RegisterDocumentObject(const VersionPair& first,
                                              const std::vector<VersionPair>& further,
                                              const std::wstring& tag,
                                              const CCmlDocumentBase& prototype) {
  std::lock_guard<std::recursive_mutex> guard(FactoryLock());
  RegisterDocumentObject(first.first, first.second, tag, prototype);
  for (const VersionPair& pair : further) {
    CCmlDocumentBase* stored = RegisterDocumentObject(pair.first, pair.second, tag, prototype);
    stored->SetNamespace(pair.first);
    stored->SetInstanceSchemaVersion(pair.second);
    stored->SetSchemaVersion(pair.second);
  }
}

void CCmlClassFactory::DeregisterDocumentClassFactory(const std::wstring& uri,
                                                      const std::wstring& version) {
  std::lock_guard<std::recursive_mutex> guard(FactoryLock());
  if (uri.empty() && version.empty()) {
    throw CCmlException(L"Deregistering document class factory",
                        L"One or more arguments are invalid", codes::kInvalidArgument);
  }
  auto ns = m_namespaces.find(uri);
  if (ns == m_namespaces.end()) return;
  for (auto it = ns->second.begin(); it != ns->second.end(); ++it) {
    SchemaVersionRelation r = CompareSchemaVersions(it->first, version);
    if (r == SchemaVersionRelation::Equal) {
      ns->second.erase(it);
      return;
    }
    if (r == SchemaVersionRelation::OlderPatch || r == SchemaVersionRelation::NewerPatch) return;
  }
}

CCmlDocumentClassFactory* CCmlClassFactory::FindDocumentClassFactory(const std::wstring& uri,
                                                                     const std::wstring& version,
                                                                     FactoryLookup mode) {
  std::lock_guard<std::recursive_mutex> guard(FactoryLock());
  if (uri.empty() && version.empty()) {
    throw CCmlException(L"Finding document class factory", L"One or more arguments are invalid",
                        codes::kInvalidArgument);
  }
  auto ns = m_namespaces.find(uri);
  if (ns == m_namespaces.end()) return nullptr;
  if (mode == FactoryLookup::Exact) {
    auto it = ns->second.find(version);
    return it == ns->second.end() ? nullptr : it->second.get();
  }
  CCmlDocumentClassFactory* candidate = nullptr;
  std::wstring reference = version;
  for (auto& entry : ns->second) {
    SchemaVersionRelation r = CompareSchemaVersions(entry.first, reference);
    bool take = r == SchemaVersionRelation::NewerPatch || r == SchemaVersionRelation::Equal ||
                (r == SchemaVersionRelation::OlderPatch && candidate == nullptr);
    if (take) {
      candidate = entry.second.get();
      reference = entry.first;
    }
  }
  return candidate;
}

std::unique_ptr<CCmlDocumentBase> CCmlClassFactory::CreateDocument(const std::wstring& uri,
                                                                   const std::wstring& version,
                                                                   const std::wstring& tag,
                                                                   FactoryLookup mode) {
  std::lock_guard<std::recursive_mutex> guard(FactoryLock());
  // An element in no namespace without a version is simply not registered.
  if (uri.empty() && version.empty()) return nullptr;
  CCmlDocumentClassFactory* factory = FindDocumentClassFactory(uri, version, mode);
  if (factory == nullptr) return nullptr;
  return factory->GetDocumentObject(tag);
}

std::unique_ptr<CCmlDocumentBase> CCmlClassFactory::CreateDocument(
    const CCmlDOM_Element& element, FactoryLookup mode) {
  std::wstring uri, version, tag;
  WithDomErrors(L"Creating document from element", [&] {
    uri = element.getNamespaceURI();
    version = element.getAttribute(vocab::kSchemaVersion);
    tag = element.getNodeName();
  });
  return CreateDocument(uri, version, tag, mode);
}

}  // namespace cml
}  // namespace qel
