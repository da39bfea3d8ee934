// filestring: a text that, when it names a readable file, is replaced by that file's
// contents (up to the first zero byte; the rule is named_file.h's). Used for host-supplied configuration
// (listener settings, links). Network input is wrapped with filestring::literal(),
// which never opens anything, or, when the operator lets request bodies name files,
// with filestring::from_network(). A plain value; no thread rules beyond
// std::string's.
//
// Bounds of the load rule: a name that cannot be opened is taken literally; a name
// that opens is read only when it is a regular file of at most filestring_max_bytes
// (1 MiB) and otherwise fails with funneltunnel_exception (CS_FILE_NOT_REGULAR,
// CS_FILE_TOO_LARGE). Opening never blocks (a FIFO is refused, not waited on).
#ifndef QEL_FUNNELTUNNEL_FILESTRING_H
#define QEL_FUNNELTUNNEL_FILESTRING_H

#include <cstddef>
#include <string>

#include "qelConnectionServer/named_file.h"

namespace qel {
namespace funneltunnel {

constexpr std::size_t filestring_max_bytes = named_file_max_bytes;

class filestring {
 public:
  filestring() = default;
  // Both apply the load rule: a text naming a readable file becomes its contents.
  explicit filestring(const std::string& value);
  explicit filestring(const char* value);

  // The text taken as it is, without looking for a file.
  static filestring literal(std::string value);
  // The load rule for a value that came from the network: a final symbolic link is
  // not followed (the text is then taken literally).
  static filestring from_network(std::string value);

  std::string text;       // the value
  std::string file_name;  // the file `text` was read from; empty when taken literally

 private:
  void load(final_link links);
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_FILESTRING_H
