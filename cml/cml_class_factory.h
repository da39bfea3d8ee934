// CCmlClassFactory: the process-wide registry from (namespace URI, schema version,
// tag name) to a prototype that is cloned to deserialise an element. One instance,
// created on first use and deleted when the library is unloaded. Any thread may call
// any operation: all of them serialise on one process-wide recursive lock, which a
// caller may also hold across several calls (Guard). Deserialising a clone happens
// after the lock is released.
#ifndef QEL_CML_CLASS_FACTORY_H
#define QEL_CML_CLASS_FACTORY_H

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "cml/cml_document_base.h"
#include "cml/cml_document_class_factory.h"

namespace qel {
namespace cml {

enum class FactoryLookup { LatestCompatible = 1, Exact = 2 };

class CCmlClassFactory {
 public:
  using VersionPair = std::pair<std::wstring, std::wstring>;  // (namespace, version)

  // The one instance, created empty when absent. Never null.
  static CCmlClassFactory* GetGlobalFactory();
  // Holds the factory lock for a caller's compound operation.
  static std::unique_lock<std::recursive_mutex> Guard();

  CCmlClassFactory(const CCmlClassFactory&) = delete;
  CCmlClassFactory& operator=(const CCmlClassFactory&) = delete;
  virtual ~CCmlClassFactory();

  // Empty uri and version together throw CCmlException (0xC7210003).
  CCmlDocumentClassFactory* RegisterNamespace(const std::wstring& uri,
                                              const std::wstring& version);
  CCmlDocumentBase* RegisterDocumentObject(const std::wstring& uri, const std::wstring& version,
                                           const std::wstring& tag,
                                           const CCmlDocumentBase& prototype);
  // (a) one namespace, several versions: each clone gets the tag name and its version
  // as instance schema version.
  void RegisterDocumentObject(const std::wstring& uri, const std::vector<std::wstring>& versions,
                              const std::wstring& tag, const CCmlDocumentBase& prototype);
  // (b)/(c) one pair plus further pairs: each further clone gets namespace, instance
  // schema version and schema version of its pair.
  void RegisterDocumentObject(const VersionPair& first, const std::vector<VersionPair>& further,
                              const std::wstring& tag, const CCmlDocumentBase& prototype);
  void DeregisterDocumentClassFactory(const std::wstring& uri, const std::wstring& version);
  // Exact version, or the registered version with the same major and minor part and
  // the highest patch level. Null when none.
  CCmlDocumentClassFactory* FindDocumentClassFactory(const std::wstring& uri,
                                                     const std::wstring& version,
                                                     FactoryLookup mode);
  // A new object for the element's namespace, "schema-version" and tag name, or null
  // when nobody registered it.
  std::unique_ptr<CCmlDocumentBase> CreateDocument(const CCmlDOM_Element& element,
                                                   FactoryLookup mode);
  std::unique_ptr<CCmlDocumentBase> CreateDocument(const std::wstring& uri,
                                                   const std::wstring& version,
                                                   const std::wstring& tag, FactoryLookup mode);

 private:
  friend struct CCmlClassFactoryHolder;
  CCmlClassFactory();

  using Versions = std::map<std::wstring, std::unique_ptr<CCmlDocumentClassFactory>>;
  std::map<std::wstring, Versions> m_namespaces;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_CLASS_FACTORY_H
