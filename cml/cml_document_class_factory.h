// CCmlDocumentClassFactory: the prototypes of one (namespace, schema version) pair,
// by tag name. The factory owns its prototypes. Not locked itself: it is only
// reached through CCmlClassFactory, whose lock is held around every use.
#ifndef QEL_CML_DOCUMENT_CLASS_FACTORY_H
#define QEL_CML_DOCUMENT_CLASS_FACTORY_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "cml/cml_document_base.h"

namespace qel {
namespace cml {

class CCmlDocumentClassFactory {
 public:
  CCmlDocumentClassFactory();
  CCmlDocumentClassFactory(const CCmlDocumentClassFactory&) = delete;
  CCmlDocumentClassFactory& operator=(const CCmlDocumentClassFactory&) = delete;
  virtual ~CCmlDocumentClassFactory();

  // Stores a clone of `prototype` under `tag` (replacing an earlier one) and returns
  // the stored clone. An empty tag throws CCmlException (0xC7210003).
  CCmlDocumentBase* AddTagname(const std::wstring& tag, const CCmlDocumentBase& prototype);
  void DeleteTagname(const std::wstring& tag);
  // A clone of the prototype stored under `tag`, or null.
  std::unique_ptr<CCmlDocumentBase> GetDocumentObject(const std::wstring& tag) const;
  std::size_t GetCount() const { return m_prototypes.size(); }

  // A number that changes whenever any document class factory of the process adds,
  // replaces or deletes a prototype or goes away, so that a caller can tell whether
  // the registry changed since it last looked. Any thread.
  static std::uint64_t Generation();

 private:
  std::map<std::wstring, std::unique_ptr<CCmlDocumentBase>> m_prototypes;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_DOCUMENT_CLASS_FACTORY_H
