// Reads a file once through a single open descriptor.
#include "mslLoader/qelSafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "qelStatusCodes.h"
#include "qelToolsLib/qelFileDescriptor.h"

namespace qel {
namespace sig {
namespace {

std::uint32_t OpenStatus(int error, const SafeReadRules& rules) {
  if (error == ELOOP && rules.refuseSymlink) return status::LOADER_FILE_IS_SYMLINK;
  if (error == ENOENT && rules.missingStatus != 0) return rules.missingStatus;
  return status::LOADER_FILE_OPEN_FAILED;
}

std::uint32_t CheckStat(const struct stat& st, const SafeReadRules& rules) {
  if (!S_ISREG(st.st_mode)) return status::LOADER_FILE_NOT_REGULAR;
  if (rules.refuseOthersWritable && (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return status::LOADER_FILE_WRITABLE_BY_OTHERS;
  }
  if (static_cast<std::uint64_t>(st.st_size) > rules.maxSize) return rules.tooBigStatus;
  return 0;
}

// Reads until end of file; one byte beyond the cap proves the file grew too big.
std::uint32_t ReadAll(int fd, std::size_t expected, const SafeReadRules& rules,
                      std::vector<std::uint8_t>* out) {
  const std::size_t cap = rules.maxSize + 1;
  out->resize(std::min(expected + 1, cap));
  std::size_t filled = 0;
  for (;;) {
    if (filled == out->size()) {
      if (out->size() >= cap) return rules.tooBigStatus;
      out->resize(std::min(out->size() + 65536, cap));
    }
    ssize_t got = ::read(fd, out->data() + filled, out->size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return status::LOADER_FILE_READ_FAILED;
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  out->resize(filled);
  return 0;
}

}  // namespace

std::uint32_t ReadFileOnce(const char* path, const SafeReadRules& rules,
                           std::vector<std::uint8_t>* out) {
  // O_NONBLOCK: opening a FIFO must not hang; it is refused as not regular below.
  int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  if (rules.refuseSymlink) flags |= O_NOFOLLOW;
  qelToolsLib::qelFileDescriptor fd(::open(path, flags));
  if (fd.get() < 0) return OpenStatus(errno, rules);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return status::LOADER_FILE_READ_FAILED;
  if (std::uint32_t rc = CheckStat(st, rules)) return rc;
  return ReadAll(fd.get(), static_cast<std::size_t>(st.st_size), rules, out);
}

}  // namespace sig
}  // namespace qel
