// named_file: the rule by which a host-supplied value (listener settings, tunnel
// settings, links) may name a file. A value that opens as a file stands for the file's
// contents, up to the first zero byte; a value with a zero byte is never a file name.
// A name that opens is read only when it is a regular file of at most
// named_file_max_bytes (1 MiB); opening never blocks, so a FIFO is refused, not waited on.
// Pure functions with no other dependency: filestring applies them, and qelcs-host
// compiles them in so that --check-config reads every value as CS_Init will.
#ifndef QEL_FUNNELTUNNEL_NAMED_FILE_H
#define QEL_FUNNELTUNNEL_NAMED_FILE_H

#include <cstddef>
#include <stdexcept>
#include <string>

namespace qel {
namespace funneltunnel {

constexpr std::size_t named_file_max_bytes = std::size_t{1} << 20;

// Whether a final symbolic link in the name is followed; values from the network refuse.
enum class final_link { follow, refuse };

// A name that opens but may not be read: not a regular file, or larger than the limit.
class named_file_error : public std::runtime_error {
 public:
  enum class reason { not_regular, too_large };
  named_file_error(const std::string& message, reason why) : std::runtime_error(message), why(why) {}
  reason why;
};

// True, with `contents` filled, when `value` names a file that can be opened; false when
// the value is to be taken literally. Throws named_file_error past the bounds above.
bool read_named_file(const std::string& value, std::string& contents,
                     final_link links = final_link::follow);

// True for a value that reads like a file name (one line holding a '/' or ending in
// ".conf", without '=' or '<', not a comment or section) although no file of that name
// can be opened: the host most likely meant a file, and it is about to be read as text.
bool names_missing_file(const std::string& value);

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_NAMED_FILE_H
