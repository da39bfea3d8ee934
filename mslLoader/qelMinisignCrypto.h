// The Ed25519 operations behind minisign "ED" signatures, over libsodium: key
// generation, signing and verification of a byte range.
//
// Stateless apart from libsodium's own one-time initialisation (InitCrypto, safe
// to call from any thread, any number of times). Verify never throws; the others may
// throw std::bad_alloc.
#ifndef QEL_MSLLOADER_QELMINISIGNCRYPTO_H
#define QEL_MSLLOADER_QELMINISIGNCRYPTO_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "mslLoader/qelMinisignFormat.h"

namespace qel {
namespace sig {

// Initialises libsodium; false when it cannot be used.
bool InitCrypto();

// A new key pair with a random key id.
bool GenerateKeyPair(PublicKey* publicKey, SecretKey* secretKey);

// The public half of a secret key; false when the stored public half does not
// belong to the seed (a damaged or forged key file).
bool PublicKeyOf(const SecretKey& secretKey, PublicKey* publicKey);

// Signs `size` bytes at `data` with the prehashed algorithm and `trustedComment`.
bool Sign(const SecretKey& key, const std::uint8_t* data, std::size_t size,
          std::string_view trustedComment, Signature* out);

// The trusted comment a signature of `fileName` made now carries.
std::string DefaultTrustedComment(std::string_view fileName);

// Checks a parsed "ED" signature over `size` bytes at `data` against the keys in
// `trusted` (the one whose key id matches), then its trusted comment, then the
// comment's file: field against `fileName`. Returns the first reason to refuse.
SigError Verify(const Signature& signature, const std::uint8_t* data, std::size_t size,
                std::string_view fileName, const std::vector<PublicKey>& trusted);

}  // namespace sig
}  // namespace qel

#endif  // QEL_MSLLOADER_QELMINISIGNCRYPTO_H
