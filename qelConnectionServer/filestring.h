// filestring: a text that, when it names a readable file, is replaced by that file's
// contents (up to the first zero byte; the rule is named_file.h's). Used for host-supplied configuration
// (listener settings, links). Network input is wrapped with filestring::literal(),
// which never opens anything. A plain value; no thread rules beyond std::string's.
#ifndef QEL_FUNNELTUNNEL_FILESTRING_H
#define QEL_FUNNELTUNNEL_FILESTRING_H

#include <string>

namespace qel {
namespace funneltunnel {

class filestring {
 public:
  filestring() = default;
  // Both apply the load rule: a text naming a readable file becomes its contents.
  explicit filestring(const std::string& value);
  explicit filestring(const char* value);

  // The text taken as it is, without looking for a file.
  static filestring literal(std::string value);

  std::string text;       // the value
  std::string file_name;  // the file `text` was read from; empty when taken literally

 private:
  void load();
};

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_FILESTRING_H
