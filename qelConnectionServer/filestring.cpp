#include "qelConnectionServer/filestring.h"

#include <utility>

#include "qelConnectionServer/named_file.h"

#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

filestring::filestring(const std::string& value) : text(value) { load(); }

filestring::filestring(const char* value) : text(value ? value : "") { load(); }

filestring filestring::literal(std::string value) {
  filestring result;
  result.text = std::move(value);
  return result;
}

void filestring::load() {
  UD_ENTER("filestring::load", "length %zu", text.size());
  std::string contents;
  if (!read_named_file(text, contents)) {
    UD_EXIT("%s", "no such file, taken literally");
    return;
  }
  file_name = text;
  text = std::move(contents);
  UD_EXIT("read %zu bytes from %s", text.size(), file_name.c_str());
}

}  // namespace funneltunnel
}  // namespace qel
