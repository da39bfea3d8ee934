// File helpers of the signing tool.
#include "qelSignFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace qelsign {
namespace {

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

bool WriteAll(int fd, const std::string& content) {
  const char* data = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    ssize_t put = ::write(fd, data, left);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    left -= static_cast<std::size_t>(put);
  }
  return true;
}

// Writes and closes `fd`; false (with errno kept) when any step fails.
bool FinishFile(int fd, const std::string& content) {
  bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
  int saved = errno;
  if (::close(fd) != 0 && ok) return false;
  errno = saved;
  return ok;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string* content, std::string* error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = SystemError("cannot open");
    return false;
  }
  content->clear();
  char buffer[65536];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = SystemError("cannot read");
      ::close(fd);
      return false;
    }
    if (got == 0) break;
    content->append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return true;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool WriteNewFile(const std::string& path, const std::string& content, mode_t mode,
                  bool overwrite, std::string* error) {
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (overwrite ? O_TRUNC : O_EXCL);
  int fd = ::open(path.c_str(), flags, mode);
  if (fd < 0) {
    *error = errno == EEXIST ? std::string("already exists (use -f to replace it)")
                             : SystemError("cannot create");
    return false;
  }
  bool ok = ::fchmod(fd, mode) == 0;
  ok = FinishFile(fd, ok ? content : std::string()) && ok;
  if (!ok) *error = SystemError("cannot write");
  return ok;
}

bool ReplaceFile(const std::string& path, const std::string& content, std::string* error) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    *error = SystemError("cannot inspect");
    return false;
  }
  std::string pattern = path + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) {
    *error = SystemError("cannot create a temporary file beside it");
    return false;
  }
  bool ok = ::fchmod(fd, st.st_mode & 07777) == 0;
  ok = FinishFile(fd, ok ? content : std::string()) && ok;
  ok = ok && ::rename(name.data(), path.c_str()) == 0;
  if (!ok) {
    *error = SystemError("cannot replace");
    ::unlink(name.data());
  }
  return ok;
}

std::string BaseName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace qelsign
