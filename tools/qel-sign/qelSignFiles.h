// File helpers of the signing tool: whole-file reads and writes with a reason on
// failure. Single-threaded tool code.
#ifndef QEL_TOOLS_QELSIGNFILES_H
#define QEL_TOOLS_QELSIGNFILES_H

#include <string>
#include <sys/types.h>

namespace qelsign {

// Reads the whole file; on failure `error` says why.
bool ReadWholeFile(const std::string& path, std::string* content, std::string* error);

bool FileExists(const std::string& path);

// Writes a file with `mode`; refuses to replace an existing one unless `overwrite`.
bool WriteNewFile(const std::string& path, const std::string& content, mode_t mode,
                  bool overwrite, std::string* error);

// Replaces `path` by `content` through a temporary file in the same folder and a
// rename, keeping the file's permission bits.
bool ReplaceFile(const std::string& path, const std::string& content, std::string* error);

// The part of `path` after its last "/".
std::string BaseName(const std::string& path);

}  // namespace qelsign

#endif  // QEL_TOOLS_QELSIGNFILES_H
