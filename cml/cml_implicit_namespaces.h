// CImplicitNamespaces: the process-wide implicit namespace set that every CML parser
// validates against besides its own instance namespaces. Filled by the library's
// users at start-up; any thread may add, remove or read, because a shared lock
// guards the set (adding the same pair again from several threads is harmless).
#ifndef QEL_CML_IMPLICIT_NAMESPACES_H
#define QEL_CML_IMPLICIT_NAMESPACES_H

#include <cstdint>
#include <string>
#include <vector>

#include "cml/cml_namespace.h"

namespace qel {
namespace cml {

class CImplicitNamespaces {
 public:
  // The same pair again changes nothing; the URI with another version throws
  // CCmlException (0xC738000E, "Adding implicit namespace to CML parser").
  static void Add(const CNamespace& ns);
  // Adds every pair under one lock (as Add does each) and returns the generation
  // of the set afterwards.
  static std::uint64_t AddAll(const std::vector<CNamespace>& set);
  // A number that changes whenever the set changes. Any thread.
  static std::uint64_t Generation();
  static void Remove(const CNamespace& ns);
  static void Clear();
  // A copy of the set at the time of the call.
  static CNamespaceSet Snapshot();
  // True and the version when the set holds `uri`.
  static bool Find(const std::wstring& uri, std::wstring& version);
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_IMPLICIT_NAMESPACES_H
