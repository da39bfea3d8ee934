// Library handles and the hand-over of verified library images.
#include "mslLoader/mslLibHandle.h"

#include <dlfcn.h>

#include <mutex>
#include <string>
#include <utility>

#include "qelStatusCodes.h"

namespace qel {
namespace loader {
namespace {

struct VerifiedSlot {
  std::mutex mutex;
  std::string name;        // full name the image was verified under
  sig::SealedImage image;  // invalid when the slot is empty
};

VerifiedSlot& Slot() {
  static VerifiedSlot slot;
  return slot;
}

// Takes the image verified under exactly `fullName`, leaving the slot empty.
sig::SealedImage TakeVerifiedImage(const char* fullName) {
  VerifiedSlot& slot = Slot();
  std::lock_guard<std::mutex> guard(slot.mutex);
  sig::SealedImage image;
  if (slot.image.valid() && slot.name == fullName) image = std::move(slot.image);
  slot.image = sig::SealedImage();
  slot.name.clear();
  return image;
}

}  // namespace

void StoreVerifiedImage(const char* fullName, sig::SealedImage image) {
  VerifiedSlot& slot = Slot();
  std::lock_guard<std::mutex> guard(slot.mutex);
  slot.name = fullName;
  slot.image = std::move(image);
}

void ClearVerifiedImage() {
  VerifiedSlot& slot = Slot();
  std::lock_guard<std::mutex> guard(slot.mutex);
  slot.image = sig::SealedImage();
  slot.name.clear();
}

}  // namespace loader
}  // namespace qel

uint32_t cInitLibHandle(LibHandle* handle) {
  if (handle == nullptr) return qel::status::INVALID_ARGUMENT;
  handle->handle = nullptr;
  handle->memfd = -1;
  handle->lastError = 0;
  return 0;
}

uint32_t cLibLoadLibrary(const char* fullName, LibHandle* handle) {
  if (fullName == nullptr || handle == nullptr) return qel::status::INVALID_ARGUMENT;
  qel::sig::SealedImage image = qel::loader::TakeVerifiedImage(fullName);
  if (!image.valid()) return handle->lastError = qel::status::LOADER_NOT_VERIFIED;
  void* loaded = ::dlopen(image.path().c_str(), RTLD_NOW | RTLD_LOCAL);
  if (loaded == nullptr) return handle->lastError = qel::status::LOADER_LOAD_FAILED;
  handle->handle = loaded;
  handle->memfd = image.release();
  handle->lastError = 0;
  return 0;
}
