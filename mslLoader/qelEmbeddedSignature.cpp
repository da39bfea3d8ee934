// The embedded signature block.
#include "mslLoader/qelEmbeddedSignature.h"

#include <cstring>

#include "mslLoader/qelMinisignFormat.h"

namespace qel {
namespace sig {

EmbeddedResult FindEmbedded(const std::uint8_t* data, std::size_t size, EmbeddedBlock* out) {
  const std::size_t tail = kEmbeddedTrailer.size() + kEmbeddedLengthBytes;
  if (size < kEmbeddedTrailer.size() ||
      std::memcmp(data + size - kEmbeddedTrailer.size(), kEmbeddedTrailer.data(),
                  kEmbeddedTrailer.size()) != 0) {
    return EmbeddedResult::Absent;
  }
  if (size < tail) return EmbeddedResult::Truncated;
  const std::uint8_t* field = data + size - tail;
  const std::uint32_t length = (std::uint32_t{field[0]} << 24) | (std::uint32_t{field[1]} << 16) |
                               (std::uint32_t{field[2]} << 8) | std::uint32_t{field[3]};
  if (length > kMaxSignatureText) return EmbeddedResult::Oversized;
  if (length > size - tail) return EmbeddedResult::Truncated;
  out->signedSize = size - tail - length;
  out->signatureText =
      std::string_view(reinterpret_cast<const char*>(data) + out->signedSize, length);
  return EmbeddedResult::Found;
}

std::string MakeEmbeddedBlock(std::string_view signatureText) {
  const auto length = static_cast<std::uint32_t>(signatureText.size());
  std::string block(signatureText);
  block += static_cast<char>((length >> 24) & 0xFF);
  block += static_cast<char>((length >> 16) & 0xFF);
  block += static_cast<char>((length >> 8) & 0xFF);
  block += static_cast<char>(length & 0xFF);
  block.append(kEmbeddedTrailer);
  return block;
}

}  // namespace sig
}  // namespace qel
