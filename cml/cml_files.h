// File helpers of the writers: creating the folder of an output path. Stateless.
#ifndef QEL_CML_FILES_H
#define QEL_CML_FILES_H

#include <string>

namespace qel {
namespace cml {

// Creates the folder part of `path` (before the last "/" or "\\") with all missing
// parents, mode 0755. Throws CCmlException (0xC7210037, `operation`,
// "Unable to create folder; path = '<folder>'") on failure.
void CreateFolderFor(const std::string& path, const std::wstring& operation);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_FILES_H
