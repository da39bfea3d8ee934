// A verified library image held in a sealed, executable memory file.
#include "mslLoader/qelSealedImage.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "qelStatusCodes.h"

// Older C library headers lack this flag of newer kernels; its value is fixed ABI.
#ifndef MFD_EXEC
#define MFD_EXEC 0x0010U
#endif

namespace qel {
namespace sig {
namespace {

constexpr int kRequiredSeals = F_SEAL_WRITE | F_SEAL_GROW | F_SEAL_SHRINK | F_SEAL_SEAL;

// Asks for an executable memory file explicitly (kernels that restrict memfd
// execution honour MFD_EXEC); kernels that do not know the flag reject it with
// EINVAL and create executable memory files by default.
int CreateMemfd(const char* name) {
  const unsigned flags = MFD_CLOEXEC | MFD_ALLOW_SEALING;
  int fd = ::memfd_create(name, flags | MFD_EXEC);
  if (fd < 0 && errno == EINVAL) fd = ::memfd_create(name, flags);
  return fd;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    ssize_t put = ::write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace

SealedImage::~SealedImage() {
  if (fd_ >= 0) ::close(fd_);
}

SealedImage::SealedImage(SealedImage&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

SealedImage& SealedImage::operator=(SealedImage&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

std::string SealedImage::path() const { return "/proc/self/fd/" + std::to_string(fd_); }

int SealedImage::release() { return std::exchange(fd_, -1); }

std::uint32_t SealedImage::CheckSealedExecutable(int fd) {
  int seals = ::fcntl(fd, F_GET_SEALS);
  if (seals < 0 || (seals & kRequiredSeals) != kRequiredSeals) {
    return status::LOADER_MEMFD_SEAL_FAILED;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || (st.st_mode & S_IXUSR) == 0) {
    return status::LOADER_MEMFD_NOT_EXECUTABLE;
  }
  return 0;
}

std::uint32_t SealedImage::Create(const std::uint8_t* data, std::size_t size, const char* name,
                                  SealedImage* out) {
  int fd = CreateMemfd(name);
  if (fd < 0) {
    return errno == EACCES || errno == EPERM ? status::LOADER_MEMFD_NOT_EXECUTABLE
                                             : status::LOADER_MEMFD_CREATE_FAILED;
  }
  SealedImage image(fd);
  if (!WriteAll(fd, data, size)) return status::LOADER_MEMFD_CREATE_FAILED;
  if (::fcntl(fd, F_ADD_SEALS, kRequiredSeals) != 0) return status::LOADER_MEMFD_SEAL_FAILED;
  if (std::uint32_t rc = CheckSealedExecutable(fd)) return rc;
  *out = std::move(image);
  return 0;
}

}  // namespace sig
}  // namespace qel
