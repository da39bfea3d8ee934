// A verified library image held in a sealed, executable memory file (memfd): once
// sealed, nobody can change, grow or shrink it, so the bytes that the dynamic loader
// maps from "/proc/self/fd/N" are exactly the bytes that were verified.
//
// Owns its descriptor (closed on destruction unless released). Move-only; one
// thread at a time.
#ifndef QEL_MSLLOADER_QELSEALEDIMAGE_H
#define QEL_MSLLOADER_QELSEALEDIMAGE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace qel {
namespace sig {

class SealedImage {
 public:
  SealedImage() = default;
  ~SealedImage();
  SealedImage(SealedImage&& other) noexcept;
  SealedImage& operator=(SealedImage&& other) noexcept;
  SealedImage(const SealedImage&) = delete;
  SealedImage& operator=(const SealedImage&) = delete;

  // Copies `size` bytes into a new memory file, seals it and checks that it can be
  // mapped executable. Returns 0 or the failure status; `out` is unchanged on failure.
  static std::uint32_t Create(const std::uint8_t* data, std::size_t size, const char* name,
                              SealedImage* out);

  // Checks that `fd` is a memory file carrying every seal and that it is executable.
  static std::uint32_t CheckSealedExecutable(int fd);

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  std::string path() const;  // "/proc/self/fd/N"
  int release();              // gives up ownership of the descriptor

 private:
  explicit SealedImage(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace sig
}  // namespace qel

#endif  // QEL_MSLLOADER_QELSEALEDIMAGE_H
