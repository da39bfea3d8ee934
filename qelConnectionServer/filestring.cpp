#include "qelConnectionServer/filestring.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelStatusCodes.h"
#include "qelToolsLib/qelFileDescriptor.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

namespace {

[[noreturn]] void refuse(const std::string& path, const char* why, uint32_t code) {
  throw funneltunnel_exception(("file '" + path.substr(0, 256) + "' " + why).c_str(), code);
}

// Reads to the end, in chunks (files of /proc report size 0), failing once more than
// the limit arrived: a file may grow after fstat.
std::string read_bounded(int fd, const std::string& path) {
  std::string contents;
  char chunk[8192];  // small: request threads have small stacks
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // a read error ends the text like its end would
    if (contents.size() + static_cast<std::size_t>(n) > filestring_max_bytes)
      refuse(path, "is larger than 1 MiB", status::CS_FILE_TOO_LARGE);
    contents.append(chunk, static_cast<std::size_t>(n));
  }
  return contents;
}

}  // namespace

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
  // A text with a zero byte cannot be a path: opening its prefix would read a
  // different file than the one the text names.
  if (text.empty() || text.find('\0') != std::string::npos) {
    UD_EXIT("%s", "taken literally");
    return;
  }
  const int nofollow = links == final_link::refuse ? O_NOFOLLOW : 0;
  const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | nofollow;
  qelToolsLib::qelFileDescriptor fd(::open(text.c_str(), flags));
  if (fd.get() < 0) {
    UD_EXIT("%s", "cannot be opened, taken literally");
    return;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
    refuse(text, "is not a regular file", status::CS_FILE_NOT_REGULAR);
  if (static_cast<unsigned long long>(info.st_size) > filestring_max_bytes)
    refuse(text, "is larger than 1 MiB", status::CS_FILE_TOO_LARGE);
  std::string contents = read_bounded(fd.get(), text);
  file_name = text;
  text = contents.substr(0, contents.find('\0'));
  UD_EXIT("read %zu bytes from %s", text.size(), file_name.c_str());
}

}  // namespace funneltunnel
}  // namespace qel
