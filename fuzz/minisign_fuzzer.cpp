// Fuzz target: the minisign text parsers (public key, secret key, signature, the file:
// field of a trusted comment) and the embedded-signature trailer, on the same bytes.
// Parsers never throw on hostile input; what they accept must survive formatting and
// parsing again unchanged, and a found embedded block must describe the input's tail
// exactly.
#include <sodium.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "mslLoader/qelEmbeddedSignature.h"
#include "mslLoader/qelMinisignFormat.h"

namespace sig = qel::sig;

namespace {

void public_key(std::string_view text) {
  sig::PublicKey key;
  if (sig::ParsePublicKey(text, &key) != sig::SigError::None) return;
  sig::PublicKey again;
  FUZZ_CHECK(sig::ParsePublicKey(sig::FormatPublicKey(key), &again) == sig::SigError::None);
  FUZZ_CHECK(again.keyId == key.keyId && again.key == key.key);
}

void secret_key(std::string_view text) {
  sig::SecretKey key;
  if (sig::ParseSecretKey(text, &key) != sig::SigError::None) return;
  sig::SecretKey again;
  FUZZ_CHECK(sig::ParseSecretKey(sig::FormatSecretKey(key), &again) == sig::SigError::None);
  FUZZ_CHECK(again.keyId == key.keyId && again.key == key.key);
}

void signature(std::string_view text) {
  sig::Signature parsed;
  const sig::SigError result = sig::ParseSignature(text, &parsed);
  if (result == sig::SigError::Malformed || result == sig::SigError::Oversized) return;
  sig::Signature again;
  FUZZ_CHECK(sig::ParseSignature(sig::FormatSignature(parsed, "again"), &again) == result);
  FUZZ_CHECK(again.algorithm == parsed.algorithm && again.keyId == parsed.keyId);
  FUZZ_CHECK(again.signature == parsed.signature);
  FUZZ_CHECK(again.globalSignature == parsed.globalSignature);
  FUZZ_CHECK(again.trustedComment == parsed.trustedComment);
  const sig::SigError named = sig::CheckFileName(parsed.trustedComment, "libqel.so");
  FUZZ_CHECK(named == sig::SigError::None || named == sig::SigError::NoFileName ||
             named == sig::SigError::WrongFileName);
}

void embedded(const std::uint8_t* data, std::size_t size) {
  sig::EmbeddedBlock block;
  if (sig::FindEmbedded(data, size, &block) != sig::EmbeddedResult::Found) return;
  const std::string tail = sig::MakeEmbeddedBlock(block.signatureText);
  FUZZ_CHECK(block.signedSize + tail.size() == size);
  FUZZ_CHECK(std::string_view(reinterpret_cast<const char*>(data) + block.signedSize,
                              tail.size()) == tail);
  signature(block.signatureText);
}

}  // namespace

// As the loader and qel-sign do before they parse anything.
extern "C" int LLVMFuzzerInitialize(int*, char***) { return sodium_init() < 0 ? 1 : 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  public_key(text);
  secret_key(text);
  signature(text);
  embedded(data, size);
  return 0;
}
