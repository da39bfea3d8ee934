// CCmlEntityResolver: the only way the CML parser loads anything besides the input
// itself. Only XML schema files are ever loaded, and only regular local files that are
// not empty (no device, pipe or kernel pseudo-file): with a schema folder, those inside
// it (after resolving links and ".."); without one, those the document (or a loaded
// schema) names by a local path or file URI. A schema file that is missing, or a schema
// import that names no file, loads nothing (validation then reports what it cannot
// check). Every other entity, DTD or schema -- network locations always, local ones
// outside the folder when there is one -- is refused with a CCmlException
// (0xC7380031). Owned by its parser; used by the parser's thread only.
#ifndef QEL_CML_ENTITY_RESOLVER_H
#define QEL_CML_ENTITY_RESOLVER_H

#include <string>

#include <xercesc/util/XMLEntityResolver.hpp>

namespace qel {
namespace cml {

class CCmlEntityResolver : public xercesc::XMLEntityResolver {
 public:
  // No schema at all (a parse without validation).
  void AdmitNoSchemas() { m_schemas = false; }
  // Schemas inside `folder` (UTF-8); an empty folder admits the local files that
  // documents name.
  void AdmitSchemasIn(const std::string& folder) {
    m_schemas = true;
    m_folder = folder;
  }
  xercesc::InputSource* resolveEntity(xercesc::XMLResourceIdentifier* id) override;

  // The canonical path of `systemId` (relative ones against `baseUri`'s folder or
  // the working directory) when it is a regular local file inside `folder` (an empty
  // folder: anywhere); empty otherwise.
  static std::string AdmittedPath(const std::string& systemId, const std::string& baseUri,
                                  const std::string& folder);
  // True when `systemId` names a local file that would lie inside `folder` (an empty
  // folder: anywhere) but is missing.
  static bool MissingInsideFolder(const std::string& systemId, const std::string& baseUri,
                                  const std::string& folder);

 private:
  bool m_schemas = false;
  std::string m_folder;
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_ENTITY_RESOLVER_H
