#include "qelConnectionServer/filestring.h"

#include <utility>

#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelStatusCodes.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

filestring::filestring(const std::string& value) : text(value) { load(final_link::follow); }

filestring::filestring(const char* value) : text(value ? value : "") { load(final_link::follow); }

filestring filestring::literal(std::string value) {
  filestring result;
  result.text = std::move(value);
  return result;
}

filestring filestring::from_network(std::string value) {
  filestring result;
  result.text = std::move(value);
  result.load(final_link::refuse);
  return result;
}

void filestring::load(final_link links) {
  UD_ENTER("filestring::load", "length %zu", text.size());
  std::string contents;
  try {
    if (!read_named_file(text, contents, links)) {
      UD_EXIT("%s", "cannot be opened, taken literally");
      return;
    }
  } catch (const named_file_error& e) {
    throw funneltunnel_exception(e.what(), e.why == named_file_error::reason::too_large
                                               ? status::CS_FILE_TOO_LARGE
                                               : status::CS_FILE_NOT_REGULAR);
  }
  file_name = text;
  text = std::move(contents);
  UD_EXIT("read %zu bytes from %s", text.size(), file_name.c_str());
}

}  // namespace funneltunnel
}  // namespace qel
