// Library handles of the loader's plain-function layer, and the hand-over of
// verified library images from the signature check to the dynamic loader.
//
// A LibHandle is owned by its caller (the session configuration service module owns
// one for the process). A loaded library is never unloaded: its handle and the
// memory file it was mapped from stay open until the process ends, which also keeps
// its "/proc/self/fd/N" name from being reused for another library.
// The hand-over slot is process-wide and locked internally; any thread may call.
#ifndef QEL_MSLLOADER_MSLLIBHANDLE_H
#define QEL_MSLLOADER_MSLLIBHANDLE_H

#include <cstdint>

#include "mslLoader/qelSealedImage.h"

struct LibHandle {
  void* handle;         // from dlopen; null when nothing is loaded
  int memfd;            // the sealed memory file the library was mapped from, or -1
  uint32_t lastError;   // status of the last failed load or lookup, 0 otherwise
};

// Resets the record to "nothing loaded". A library loaded through it earlier stays
// loaded. Returns 0, or 0xC7210003 for a null record.
uint32_t cInitLibHandle(LibHandle* handle);

// Loads the verified image of `fullName` that the last successful signature check of
// that exact name left in the hand-over slot, from its sealed memory file. Without
// such an image nothing is loaded (fail closed): the file itself is never opened here.
uint32_t cLibLoadLibrary(const char* fullName, LibHandle* handle);

namespace qel {
namespace loader {

// Leaves the verified image of `fullName` for cLibLoadLibrary, replacing any other.
void StoreVerifiedImage(const char* fullName, sig::SealedImage image);
// Drops the image in the slot (after a failed check).
void ClearVerifiedImage();

}  // namespace loader
}  // namespace qel

#endif  // QEL_MSLLOADER_MSLLIBHANDLE_H
