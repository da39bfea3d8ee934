#include "scs/config_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "scs/scs_error.h"
#include "scs/status.h"

namespace qel::scs {
namespace {

constexpr off_t kMaxFileSize = 1 << 20;

[[noreturn]] void fail(const std::string& key, const std::string& path, const char* why) {
  throw ScsError(status::SCS_SETTINGS_FILE,
                 "settings key '" + key + "': file '" + path + "' " + why);
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::string read_config_file(const std::string& key, const std::string& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) fail(key, path, std::strerror(errno));
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) fail(key, path, std::strerror(errno));
  if (!S_ISREG(info.st_mode)) fail(key, path, "is not a regular file");
  if (info.st_size > kMaxFileSize) fail(key, path, "is larger than 1 MiB");
  std::string text(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::read(fd.get(), &text[done], text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail(key, path, n < 0 ? std::strerror(errno) : "shrank while being read");
    done += static_cast<std::size_t>(n);
  }
  if (text.empty()) fail(key, path, "is empty");
  return text;
}

std::string read_token_file(const std::string& key, const std::string& path) {
  const std::string text = read_config_file(key, path);
  const auto first = text.find_first_not_of(" \t\r\n");
  const auto last = text.find_last_not_of(" \t\r\n");
  if (first == std::string::npos) fail(key, path, "holds no token");
  std::string token = text.substr(first, last - first + 1);
  for (char c : token) {
    if (c <= 0x20 || c >= 0x7F) fail(key, path, "holds more than one visible ASCII word");
  }
  return token;
}

}  // namespace qel::scs
