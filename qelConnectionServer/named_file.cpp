#include "qelConnectionServer/named_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "qelToolsLib/qelFileDescriptor.h"

namespace qel {
namespace funneltunnel {

namespace {

[[noreturn]] void refuse(const std::string& path, const char* why, named_file_error::reason reason) {
  throw named_file_error("file '" + path.substr(0, 256) + "' " + why, reason);
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
    if (contents.size() + static_cast<std::size_t>(n) > named_file_max_bytes)
      refuse(path, "is larger than 1 MiB", named_file_error::reason::too_large);
    contents.append(chunk, static_cast<std::size_t>(n));
  }
  return contents;
}

int open_flags(final_link links) {
  const int nofollow = links == final_link::refuse ? O_NOFOLLOW : 0;
  return O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | nofollow;
}

}  // namespace

bool read_named_file(const std::string& value, std::string& contents, final_link links) {
  // A text with a zero byte cannot be a path: opening its prefix would read a
  // different file than the one the text names.
  if (value.empty() || value.find('\0') != std::string::npos) return false;
  qelToolsLib::qelFileDescriptor fd(::open(value.c_str(), open_flags(links)));
  if (fd.get() < 0) return false;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
    refuse(value, "is not a regular file", named_file_error::reason::not_regular);
  if (static_cast<unsigned long long>(info.st_size) > named_file_max_bytes)
    refuse(value, "is larger than 1 MiB", named_file_error::reason::too_large);
  const std::string all = read_bounded(fd.get(), value);
  contents = all.substr(0, all.find('\0'));
  return true;
}

bool names_missing_file(const std::string& value) {
  if (value.empty() || value.find_first_of(std::string("\n=<\0", 4)) != std::string::npos) return false;
  if (value[0] == '#' || value[0] == '[') return false;
  const bool ends_conf = value.size() > 5 && value.compare(value.size() - 5, 5, ".conf") == 0;
  if (value.find('/') == std::string::npos && !ends_conf) return false;
  qelToolsLib::qelFileDescriptor fd(::open(value.c_str(), open_flags(final_link::follow)));
  return fd.get() < 0;
}

}  // namespace funneltunnel
}  // namespace qel
