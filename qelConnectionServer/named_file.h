// named_file: the rule by which a host-supplied value (listener settings, tunnel
// settings, links) may name a file. A value that opens as a file stands for the file's
// contents, up to the first zero byte; a value with a zero byte is never a file name.
// Pure functions with no other dependency: filestring applies them, and qelcs-host
// compiles them in so that --check-config reads every value as CS_Init will.
#ifndef QEL_FUNNELTUNNEL_NAMED_FILE_H
#define QEL_FUNNELTUNNEL_NAMED_FILE_H

#include <string>

namespace qel {
namespace funneltunnel {

// True, with `contents` filled, when `value` names a file that can be opened.
bool read_named_file(const std::string& value, std::string& contents);

// True for a value that reads like a file name (one line holding a '/' or ending in
// ".conf", without '=' or '<', not a comment or section) although no file of that name
// can be opened: the host most likely meant a file, and it is about to be read as text.
bool names_missing_file(const std::string& value);

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_NAMED_FILE_H
