// The buffer of one request body. Bodies of 128 KiB or more live in pages mapped for
// them alone (mmap, grown with mremap) and are unmapped when the request is done, so
// their memory goes back to the system at once: the C library's dynamic mmap threshold
// would otherwise move such blocks into the heap after the first big free, where 40
// bodies of 15 MiB stayed resident after their requests had gone (docs/scs.md,
// "Memory"). Smaller bodies use malloc.
//
// Owned by one request's state; used on its connection thread only.
#pragma once

#include <cstddef>

namespace qel::scs {

class BodyBuffer {
 public:
  static constexpr std::size_t kMapThreshold = 128u << 10;

  BodyBuffer() = default;
  ~BodyBuffer() { release(); }
  BodyBuffer(const BodyBuffer&) = delete;
  BodyBuffer& operator=(const BodyBuffer&) = delete;

  // Makes room for `capacity` bytes in all; throws std::bad_alloc.
  void reserve(std::size_t capacity);
  void append(const char* data, std::size_t size);
  const char* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Frees the memory; the buffer is empty afterwards.
  void release();

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0, capacity_ = 0;
  bool mapped_ = false;
};

}  // namespace qel::scs
