// The embedded signature block: a library carries its signature text after its ELF
// content, followed by the text's length (4 bytes, big-endian) and a fixed trailer.
// The signed bytes are everything before the signature text.
//
// Pure functions over caller-owned bytes; callable from any thread.
#ifndef QEL_MSLLOADER_QELEMBEDDEDSIGNATURE_H
#define QEL_MSLLOADER_QELEMBEDDEDSIGNATURE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qel {
namespace sig {

constexpr std::string_view kEmbeddedTrailer = "~QEL signature appended~\n";
constexpr std::size_t kEmbeddedLengthBytes = 4;

enum class EmbeddedResult {
  Found,      // `signedSize` and `signatureText` are set
  Absent,     // the bytes do not end with the trailer
  Truncated,  // the length field reaches before the start of the bytes
  Oversized,  // the length field exceeds any valid signature text
};

struct EmbeddedBlock {
  std::size_t signedSize = 0;
  std::string_view signatureText;  // points into the caller's bytes
};

EmbeddedResult FindEmbedded(const std::uint8_t* data, std::size_t size, EmbeddedBlock* out);

// The bytes to append to a file to embed `signatureText`.
std::string MakeEmbeddedBlock(std::string_view signatureText);

}  // namespace sig
}  // namespace qel

#endif  // QEL_MSLLOADER_QELEMBEDDEDSIGNATURE_H
