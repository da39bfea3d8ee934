// The Ed25519 operations behind minisign "ED" signatures.
#include "mslLoader/qelMinisignCrypto.h"

#include <sodium.h>

#include <cstring>
#include <ctime>
#include <string>

namespace qel {
namespace sig {
namespace {

constexpr std::uint8_t kAlgHashed[2] = {'E', 'D'};
constexpr std::size_t kHashBytes = crypto_generichash_BYTES_MAX;  // BLAKE2b-512
static_assert(kHashBytes == 64, "minisign prehashes with BLAKE2b-512");
static_assert(crypto_sign_PUBLICKEYBYTES == kPublicKeyBytes, "key sizes");
static_assert(crypto_sign_SECRETKEYBYTES == kSecretKeyBytes, "key sizes");
static_assert(crypto_sign_BYTES == kSignatureBytes, "signature size");

void Prehash(const std::uint8_t* data, std::size_t size, std::uint8_t* hash) {
  crypto_generichash(hash, kHashBytes, data, size, nullptr, 0);
}

// The global signature covers the file signature followed by the trusted comment.
std::string GlobalMessage(const Signature& signature) {
  std::string message(reinterpret_cast<const char*>(signature.signature.data()),
                      signature.signature.size());
  message += signature.trustedComment;
  return message;
}

bool VerifyGlobal(const Signature& signature, const PublicKey& key) {
  std::string message = GlobalMessage(signature);
  return crypto_sign_verify_detached(signature.globalSignature.data(),
                                     reinterpret_cast<const unsigned char*>(message.data()),
                                     message.size(), key.key.data()) == 0;
}

bool VerifyFile(const Signature& signature, const std::uint8_t* data, std::size_t size,
                const PublicKey& key) {
  std::uint8_t hash[kHashBytes];
  Prehash(data, size, hash);
  return crypto_sign_verify_detached(signature.signature.data(), hash, sizeof hash,
                                     key.key.data()) == 0;
}

}  // namespace

bool InitCrypto() { return sodium_init() >= 0; }

bool GenerateKeyPair(PublicKey* publicKey, SecretKey* secretKey) {
  if (!InitCrypto()) return false;
  randombytes_buf(secretKey->keyId.data(), secretKey->keyId.size());
  crypto_sign_keypair(publicKey->key.data(), secretKey->key.data());
  publicKey->keyId = secretKey->keyId;
  return true;
}

bool PublicKeyOf(const SecretKey& secretKey, PublicKey* publicKey) {
  if (!InitCrypto()) return false;
  std::uint8_t seed[crypto_sign_SEEDBYTES];
  std::uint8_t derivedSecret[crypto_sign_SECRETKEYBYTES];
  crypto_sign_ed25519_sk_to_seed(seed, secretKey.key.data());
  crypto_sign_seed_keypair(publicKey->key.data(), derivedSecret, seed);
  bool same = sodium_memcmp(derivedSecret, secretKey.key.data(), sizeof derivedSecret) == 0;
  sodium_memzero(seed, sizeof seed);
  sodium_memzero(derivedSecret, sizeof derivedSecret);
  publicKey->keyId = secretKey.keyId;
  return same;
}

bool Sign(const SecretKey& key, const std::uint8_t* data, std::size_t size,
          std::string_view trustedComment, Signature* out) {
  if (!InitCrypto() || trustedComment.size() > kMaxTrustedComment ||
      trustedComment.find_first_of("\r\n") != std::string_view::npos) {
    return false;
  }
  std::uint8_t hash[kHashBytes];
  Prehash(data, size, hash);
  std::memcpy(out->algorithm.data(), kAlgHashed, 2);
  out->keyId = key.keyId;
  crypto_sign_detached(out->signature.data(), nullptr, hash, sizeof hash, key.key.data());
  out->trustedComment.assign(trustedComment);
  std::string message = GlobalMessage(*out);
  crypto_sign_detached(out->globalSignature.data(), nullptr,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                       key.key.data());
  return true;
}

std::string DefaultTrustedComment(std::string_view fileName) {
  return "timestamp:" + std::to_string(static_cast<long long>(std::time(nullptr))) +
         "\tfile:" + std::string(fileName) + "\thashed";
}

SigError Verify(const Signature& signature, const std::uint8_t* data, std::size_t size,
                std::string_view fileName, const std::vector<PublicKey>& trusted) {
  if (!InitCrypto()) return SigError::BadSignature;
  if (std::memcmp(signature.algorithm.data(), kAlgHashed, 2) != 0) {
    return signature.algorithm[0] == 'E' && signature.algorithm[1] == 'd'
               ? SigError::LegacyAlgorithm
               : SigError::UnknownAlgorithm;
  }
  SigError result = SigError::UntrustedKey;
  for (const PublicKey& key : trusted) {
    if (key.keyId != signature.keyId) continue;
    if (!VerifyFile(signature, data, size, key)) {
      result = SigError::BadSignature;
    } else if (!VerifyGlobal(signature, key)) {
      result = SigError::BadComment;
    } else {
      return CheckFileName(signature.trustedComment, fileName);
    }
  }
  return result;
}

}  // namespace sig
}  // namespace qel
