// The library version registry: a process-wide map from library name to version
// text, created on first use with "CmlCore" -> "1.0.0". Guarded by its own lock;
// any thread.
#ifndef QEL_CML_LIBRARY_VERSIONS_H
#define QEL_CML_LIBRARY_VERSIONS_H

#include <iosfwd>
#include <map>
#include <string>

namespace qel {
namespace cml {

void SetLibraryVersion(const std::wstring& library, const std::wstring& version);
void RemoveLibraryVersion(const std::wstring& library);
std::map<std::wstring, std::wstring> GetLibraryVersions();
// Back to the state of first use.
void DestroyLibraryVersionRegistry();
// One line per entry in name order: "Library:  <name> version = <version>".
void WriteLibraryVersions(std::ostream& os);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_LIBRARY_VERSIONS_H
