// File helpers of the writers: creating the folder of an output path and replacing a
// file's contents so that a failed write never destroys what was there. Stateless;
// any thread (two threads replacing one file leave one of the two texts).
#ifndef QEL_CML_FILES_H
#define QEL_CML_FILES_H

#include <string>

namespace qel {
namespace cml {

// Creates the folder part of `path` (before the last "/" or "\\") with all missing
// parents, mode 0755. Throws CCmlException (0xC7210037, `operation`,
// "Unable to create folder; path = '<folder>'") on failure.
void CreateFolderFor(const std::string& path, const std::wstring& operation);

// Creates the folder of `path`, writes `bytes` to a new file beside it and renames
// that over `path`. On any failure the new file is removed, `path` is left as it was
// and CCmlException is thrown (0xC7210037 for the folder, 0xC7210021 for the file,
// naming the path).
void ReplaceFile(const std::string& path, const std::string& bytes, const std::wstring& operation);

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_FILES_H
