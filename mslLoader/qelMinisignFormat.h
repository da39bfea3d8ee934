// Reading and writing the minisign text formats: public keys, unencrypted secret
// keys and signatures ("ED": Ed25519 over the BLAKE2b-512 hash of the file).
//
// Pure functions over caller-owned values; no state, callable from any thread.
// Parsers never throw on hostile input: they return a SigError. Formatters may
// throw std::bad_alloc only.
#ifndef QEL_MSLLOADER_QELMINISIGNFORMAT_H
#define QEL_MSLLOADER_QELMINISIGNFORMAT_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qel {
namespace sig {

constexpr std::size_t kKeyIdBytes = 8;
constexpr std::size_t kPublicKeyBytes = 32;
constexpr std::size_t kSecretKeyBytes = 64;
constexpr std::size_t kSignatureBytes = 64;
constexpr std::size_t kMaxUntrustedComment = 1024;
constexpr std::size_t kMaxTrustedComment = 8192;
// The longest signature text the parser can accept, with both comments at their
// maximum; a larger block cannot be a signature.
constexpr std::size_t kMaxSignatureText = 12 * 1024;

using KeyId = std::array<std::uint8_t, kKeyIdBytes>;

// Why a key or signature was refused; None means accepted.
enum class SigError {
  None,
  Malformed,          // not the expected lines, prefixes or base64 fields
  Oversized,          // longer than any valid text
  LegacyAlgorithm,    // "Ed": signature over the raw file, refused
  UnknownAlgorithm,   // neither "ED" nor "Ed"
  EncryptedKey,       // secret key protected by a password (not supported)
  KeyChecksum,        // secret key checksum or key pair does not match
  UntrustedKey,       // no trusted key has the signature's key id
  BadSignature,       // the file signature does not verify
  BadComment,         // the global signature over the trusted comment does not verify
  NoFileName,         // the trusted comment has no file: field
  WrongFileName,      // the file: field names another file
};

// A short English reason, for the signing tool's messages.
const char* Describe(SigError error);

struct PublicKey {
  KeyId keyId{};
  std::array<std::uint8_t, kPublicKeyBytes> key{};
};

// Wipes its key material when destroyed.
struct SecretKey {
  KeyId keyId{};
  std::array<std::uint8_t, kSecretKeyBytes> key{};  // libsodium layout: seed || public key
  SecretKey() = default;
  SecretKey(const SecretKey&) = delete;
  SecretKey& operator=(const SecretKey&) = delete;
  ~SecretKey();
};

struct Signature {
  std::array<std::uint8_t, 2> algorithm{};
  KeyId keyId{};
  std::array<std::uint8_t, kSignatureBytes> signature{};
  std::string trustedComment;  // without the "trusted comment: " prefix
  std::array<std::uint8_t, kSignatureBytes> globalSignature{};
};

// A public key file (comment line, then the base64 line) or the bare base64 line.
SigError ParsePublicKey(std::string_view text, PublicKey* out);
// An unencrypted secret key file; checks the checksum (when not all zero) and that
// the public half belongs to the seed.
SigError ParseSecretKey(std::string_view text, SecretKey* out);
// A four-line signature text; an optional final newline, nothing after it.
SigError ParseSignature(std::string_view text, Signature* out);

std::string FormatPublicKey(const PublicKey& key);
std::string FormatSecretKey(const SecretKey& key);
std::string FormatSignature(const Signature& signature, std::string_view untrustedComment);

// Key id as minisign prints it: the 8 bytes read as a little-endian number, in hex.
std::string KeyIdHex(const KeyId& keyId);

// Checks the file: field of a trusted comment (fields separated by tabs or blanks)
// against `fileName`: every file: field must name it, and one must be present.
SigError CheckFileName(std::string_view trustedComment, std::string_view fileName);

}  // namespace sig
}  // namespace qel

#endif  // QEL_MSLLOADER_QELMINISIGNFORMAT_H
