// CCmlEntityResolver: the only way the CML parser loads anything besides the input
// itself. It admits XML schema files that lie inside the configured schema folder
// (after resolving links and ".."), lets a schema file missing from that folder and
// a schema import that names no file go unloaded, and refuses every other entity, DTD or schema, local or remote, with a
// CCmlException (0xC7380031). Owned by its parser; used by
// the parser's thread only.
#ifndef QEL_CML_ENTITY_RESOLVER_H
#define QEL_CML_ENTITY_RESOLVER_H

#include <string>

#include <xercesc/util/XMLEntityResolver.hpp>

namespace qel {
namespace cml {

class CCmlEntityResolver : public xercesc::XMLEntityResolver {
 public:
  // `folder` (UTF-8) is the schema folder; empty admits nothing.
  void SetSchemaFolder(const std::string& folder) { m_folder = folder; }
  xercesc::InputSource* resolveEntity(xercesc::XMLResourceIdentifier* id) override;

  // The canonical path of `systemId` (relative ones against `baseUri`'s folder or
  // the working directory) when it lies inside `folder`; empty otherwise.
  static std::string AdmittedPath(const std::string& systemId, const std::string& baseUri,
                                  const std::string& folder);
  // True when `systemId` names a file that would lie inside `folder` but is missing.
  static bool MissingInsideFolder(const std::string& systemId, const std::string& baseUri,
                                  const std::string& folder);

 private:
  std::string m_folder;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_ENTITY_RESOLVER_H
