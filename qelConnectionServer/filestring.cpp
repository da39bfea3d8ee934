#include "qelConnectionServer/filestring.h"

#include <fstream>
#include <iterator>

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
  // A text with a zero byte cannot be a path: opening its prefix would read a
  // different file than the one the text names.
  if (text.empty() || text.find('\0') != std::string::npos) {
    UD_EXIT("%s", "taken literally");
    return;
  }
  std::ifstream file(text, std::ios::in | std::ios::binary);
  if (!file.is_open()) {
    UD_EXIT("%s", "no such file, taken literally");
    return;
  }
  file_name = text;
  std::string contents{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  text = contents.substr(0, contents.find('\0'));
  UD_EXIT("read %zu bytes from %s", text.size(), file_name.c_str());
}

}  // namespace funneltunnel
}  // namespace qel
