#include "scs/body_buffer.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace qel::scs {
namespace {

std::size_t page_rounded(std::size_t size) {
  constexpr std::size_t kPage = 4096;
  return (size + kPage - 1) / kPage * kPage;
}

}  // namespace

void BodyBuffer::reserve(std::size_t capacity) {
  if (capacity <= capacity_) return;
  if (capacity < kMapThreshold) {
    void* grown = std::realloc(data_, capacity);
    if (grown == nullptr) throw std::bad_alloc();
    data_ = static_cast<char*>(grown);
    capacity_ = capacity;
    return;
  }
  const std::size_t mapped_size = page_rounded(capacity);
  void* pages;
  if (mapped_) {
    pages = mremap(data_, capacity_, mapped_size, MREMAP_MAYMOVE);
  } else {
    pages = mmap(nullptr, mapped_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  }
  if (pages == MAP_FAILED) throw std::bad_alloc();
  if (!mapped_) {
    if (size_ != 0) std::memcpy(pages, data_, size_);
    std::free(data_);
  }
  data_ = static_cast<char*>(pages);
  capacity_ = mapped_size;
  mapped_ = true;
}

void BodyBuffer::append(const char* data, std::size_t size) {
  if (size == 0) return;
  if (size > capacity_ - size_) {
    const std::size_t needed = size_ + size;
    reserve(needed > 2 * capacity_ ? needed : 2 * capacity_);
  }
  std::memcpy(data_ + size_, data, size);
  size_ += size;
}

void BodyBuffer::release() {
  if (mapped_) {
    munmap(data_, capacity_);
  } else {
    std::free(data_);
  }
  data_ = nullptr;
  size_ = capacity_ = 0;
  mapped_ = false;
}

}  // namespace qel::scs
