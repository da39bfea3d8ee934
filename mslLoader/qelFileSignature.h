// The file signature verifier: checks that a library file carries a minisign "ED"
// signature by a trusted key whose trusted comment names the file, either detached
// (a signature file) or embedded (a block appended to the library).
//
// The file is opened once and read once; the bytes checked are the bytes handed
// back, sealed in a memory file, through the options record, so that the loader maps
// exactly what was verified. Stateless apart from the compiled-in key set; callable
// from any thread. Results are status values, 0 = verified; nothing throws.
#ifndef QEL_MSLLOADER_QELFILESIGNATURE_H
#define QEL_MSLLOADER_QELFILESIGNATURE_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "mslLoader/qelMinisignFormat.h"
#include "mslLoader/qelSealedImage.h"

namespace qel {
namespace sig {

// The largest library file accepted; service libraries are a few MiB.
constexpr std::size_t kMaxLibraryBytes = 64u * 1024 * 1024;

// The usage label of service libraries, the only one known.
constexpr std::string_view kUsageApp = "app";

// Options of one verification, owned by the caller.
struct qelFileSigOptions {
  std::uint32_t structSize = sizeof(qelFileSigOptions);
  // Receives the verified bytes (without an embedded signature block) in a sealed
  // memory file; null: verify only.
  SealedImage* image = nullptr;
};

// Verifies `filename` for `usage` ("app"). With `externalSigPath` the signature is
// read from that file and covers the whole library file; without it, the signature
// is the block embedded at the end of the library file. `options` may be null.
std::uint32_t qelVerifyFileSignature(const char* filename, const char* usage,
                                     const char* externalSigPath, qelFileSigOptions* options);

// The checks on bytes already read, against the keys in `trusted`: `signatureText`
// must hold a valid signature of the first `signedSize` bytes of `data` whose trusted
// comment names `fileName`.
std::uint32_t VerifySignedBytes(const std::uint8_t* data, std::size_t signedSize,
                                std::string_view signatureText, std::string_view fileName,
                                const std::vector<PublicKey>& trusted);

// The status value for a refusal reason.
std::uint32_t StatusOf(SigError error);

}  // namespace sig
}  // namespace qel

#endif  // QEL_MSLLOADER_QELFILESIGNATURE_H
