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

// A key the parser accepts is formatted and parsed again into the same key.
template <class Key>
void key(std::string_view text, sig::SigError (*parse)(std::string_view, Key*),
         std::string (*format)(const Key&)) {
  Key parsed;
  if (parse(text, &parsed) != sig::SigError::None) return;
  Key again;
  FUZZ_CHECK(parse(format(parsed), &again) == sig::SigError::None);
  FUZZ_CHECK(again.keyId == parsed.keyId && again.key == parsed.key);
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
  key<sig::PublicKey>(text, &sig::ParsePublicKey, &sig::FormatPublicKey);
  key<sig::SecretKey>(text, &sig::ParseSecretKey, &sig::FormatSecretKey);
  signature(text);
  embedded(data, size);
  return 0;
}
