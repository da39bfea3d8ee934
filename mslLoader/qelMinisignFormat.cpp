// Reading and writing the minisign text formats.
#include "mslLoader/qelMinisignFormat.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace qel {
namespace sig {
namespace {

constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";
constexpr std::string_view kFileField = "file:";
constexpr char kAlgHashed[2] = {'E', 'D'};
constexpr char kAlgLegacy[2] = {'E', 'd'};
constexpr char kKdfNone[2] = {0, 0};
constexpr char kKdfScrypt[2] = {'S', 'c'};
constexpr char kChecksumAlg[2] = {'B', '2'};

// Secret key layout: algorithm, kdf, checksum algorithm, salt, two kdf limits, then
// key id, secret key and checksum.
constexpr std::size_t kSaltBytes = 32;
constexpr std::size_t kChecksumBytes = 32;
constexpr std::size_t kSecretHeaderBytes = 2 + 2 + 2 + kSaltBytes + 8 + 8;
constexpr std::size_t kSecretFileBytes =
    kSecretHeaderBytes + kKeyIdBytes + kSecretKeyBytes + kChecksumBytes;
constexpr std::size_t kPublicFileBytes = 2 + kKeyIdBytes + kPublicKeyBytes;
constexpr std::size_t kSigLineBytes = 2 + kKeyIdBytes + kSignatureBytes;

// Splits into lines at '\n', dropping every '\r' before it as minisign does (else a
// trusted comment would keep a '\r' that minisign does not sign); a final newline
// does not start another line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// Strict base64: every character must be part of the encoding and the decoded
// length must be exactly `size`.
bool DecodeExact(std::string_view text, std::uint8_t* out, std::size_t size) {
  if (text.empty() || text.size() > 4 * ((size + 2) / 3)) return false;
  std::size_t length = 0;
  const char* end = nullptr;
  if (sodium_base642bin(out, size, text.data(), text.size(), nullptr, &length, &end,
                        sodium_base64_VARIANT_ORIGINAL) != 0) {
    return false;
  }
  return length == size && end == text.data() + text.size();
}

std::string Encode(const std::uint8_t* data, std::size_t size) {
  std::string out(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(out.data(), out.size(), data, size, sodium_base64_VARIANT_ORIGINAL);
  out.resize(std::strlen(out.c_str()));
  return out;
}

bool HasPrefix(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

void SecretChecksum(const std::uint8_t* alg, const SecretKey& key, std::uint8_t* out) {
  crypto_generichash_state state;
  crypto_generichash_init(&state, nullptr, 0, kChecksumBytes);
  crypto_generichash_update(&state, alg, 2);
  crypto_generichash_update(&state, key.keyId.data(), key.keyId.size());
  crypto_generichash_update(&state, key.key.data(), key.key.size());
  crypto_generichash_final(&state, out, kChecksumBytes);
}

bool AllZero(const std::uint8_t* data, std::size_t size) {
  return std::all_of(data, data + size, [](std::uint8_t b) { return b == 0; });
}

// The base64 line of a key file: the only line, or the one after the comment.
bool KeyLine(std::string_view text, std::string_view* line) {
  std::vector<std::string_view> lines = SplitLines(text);
  if (lines.size() == 1 && !HasPrefix(lines[0], kUntrustedPrefix)) {
    *line = lines[0];
    return true;
  }
  if (lines.size() != 2 || !HasPrefix(lines[0], kUntrustedPrefix) ||
      lines[0].size() > kUntrustedPrefix.size() + kMaxUntrustedComment) {
    return false;
  }
  *line = lines[1];
  return true;
}

}  // namespace

SecretKey::~SecretKey() { sodium_memzero(key.data(), key.size()); }

const char* Describe(SigError error) {
  switch (error) {
    case SigError::None: return "verified";
    case SigError::Malformed: return "not a well-formed minisign text";
    case SigError::Oversized: return "larger than any valid signature";
    case SigError::LegacyAlgorithm:
      return "legacy algorithm Ed (signature over the raw file) is refused; sign with ED";
    case SigError::UnknownAlgorithm: return "unknown signature algorithm";
    case SigError::EncryptedKey:
      return "the secret key is encrypted with a password; use an unencrypted key "
             "(minisign -G -W, or remove the password with minisign -C -W)";
    case SigError::KeyChecksum: return "the secret key is damaged (checksum or key pair mismatch)";
    case SigError::UntrustedKey: return "signed with a key other than the given public key";
    case SigError::BadSignature: return "the signature does not match the file contents";
    case SigError::BadComment: return "the trusted comment was altered after signing";
    case SigError::NoFileName: return "the trusted comment has no file: field";
    case SigError::WrongFileName: return "the trusted comment names another file";
  }
  return "unknown error";
}

SigError ParsePublicKey(std::string_view text, PublicKey* out) {
  std::string_view line;
  std::uint8_t raw[kPublicFileBytes];
  if (!KeyLine(text, &line) || !DecodeExact(line, raw, sizeof raw)) return SigError::Malformed;
  if (std::memcmp(raw, kAlgLegacy, 2) != 0) return SigError::UnknownAlgorithm;
  std::memcpy(out->keyId.data(), raw + 2, kKeyIdBytes);
  std::memcpy(out->key.data(), raw + 2 + kKeyIdBytes, kPublicKeyBytes);
  return SigError::None;
}

SigError ParseSecretKey(std::string_view text, SecretKey* out) {
  std::string_view line;
  std::uint8_t raw[kSecretFileBytes];
  if (!KeyLine(text, &line) || !DecodeExact(line, raw, sizeof raw)) return SigError::Malformed;
  SigError result = SigError::None;
  if (std::memcmp(raw, kAlgLegacy, 2) != 0 || std::memcmp(raw + 4, kChecksumAlg, 2) != 0) {
    result = SigError::UnknownAlgorithm;
  } else if (std::memcmp(raw + 2, kKdfScrypt, 2) == 0) {
    result = SigError::EncryptedKey;
  } else if (std::memcmp(raw + 2, kKdfNone, 2) != 0) {
    result = SigError::UnknownAlgorithm;
  } else {
    const std::uint8_t* body = raw + kSecretHeaderBytes;
    std::memcpy(out->keyId.data(), body, kKeyIdBytes);
    std::memcpy(out->key.data(), body + kKeyIdBytes, kSecretKeyBytes);
    const std::uint8_t* stored = body + kKeyIdBytes + kSecretKeyBytes;
    std::uint8_t computed[kChecksumBytes];
    SecretChecksum(raw, *out, computed);
    // minisign writes an all-zero checksum for keys without a password.
    if (!AllZero(stored, kChecksumBytes) && sodium_memcmp(stored, computed, kChecksumBytes) != 0) {
      result = SigError::KeyChecksum;
    }
  }
  sodium_memzero(raw, sizeof raw);
  return result;
}

SigError ParseSignature(std::string_view text, Signature* out) {
  if (text.size() > kMaxSignatureText) return SigError::Oversized;
  std::vector<std::string_view> lines = SplitLines(text);
  if (lines.size() != 4 || !HasPrefix(lines[0], kUntrustedPrefix) ||
      !HasPrefix(lines[2], kTrustedPrefix) ||
      lines[0].size() > kUntrustedPrefix.size() + kMaxUntrustedComment ||
      lines[2].size() > kTrustedPrefix.size() + kMaxTrustedComment) {
    return SigError::Malformed;
  }
  std::uint8_t raw[kSigLineBytes];
  if (!DecodeExact(lines[1], raw, sizeof raw) ||
      !DecodeExact(lines[3], out->globalSignature.data(), out->globalSignature.size())) {
    return SigError::Malformed;
  }
  std::memcpy(out->algorithm.data(), raw, 2);
  std::memcpy(out->keyId.data(), raw + 2, kKeyIdBytes);
  std::memcpy(out->signature.data(), raw + 2 + kKeyIdBytes, kSignatureBytes);
  out->trustedComment.assign(lines[2].substr(kTrustedPrefix.size()));
  if (std::memcmp(raw, kAlgHashed, 2) == 0) return SigError::None;
  if (std::memcmp(raw, kAlgLegacy, 2) == 0) return SigError::LegacyAlgorithm;
  return SigError::UnknownAlgorithm;
}

std::string KeyIdHex(const KeyId& keyId) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = keyId.size(); i-- > 0;) {
    out += kHex[keyId[i] >> 4];
    out += kHex[keyId[i] & 0xF];
  }
  return out;
}

std::string FormatPublicKey(const PublicKey& key) {
  std::uint8_t raw[kPublicFileBytes];
  std::memcpy(raw, kAlgLegacy, 2);
  std::memcpy(raw + 2, key.keyId.data(), kKeyIdBytes);
  std::memcpy(raw + 2 + kKeyIdBytes, key.key.data(), kPublicKeyBytes);
  return std::string(kUntrustedPrefix) + "minisign public key " + KeyIdHex(key.keyId) + "\n" +
         Encode(raw, sizeof raw) + "\n";
}

std::string FormatSecretKey(const SecretKey& key) {
  std::uint8_t raw[kSecretFileBytes] = {};
  std::memcpy(raw, kAlgLegacy, 2);
  std::memcpy(raw + 2, kKdfNone, 2);
  std::memcpy(raw + 4, kChecksumAlg, 2);
  std::uint8_t* body = raw + kSecretHeaderBytes;
  std::memcpy(body, key.keyId.data(), kKeyIdBytes);
  std::memcpy(body + kKeyIdBytes, key.key.data(), kSecretKeyBytes);
  SecretChecksum(raw, key, body + kKeyIdBytes + kSecretKeyBytes);
  std::string text = std::string(kUntrustedPrefix) + "qel-sign unencrypted secret key\n" +
                     Encode(raw, sizeof raw) + "\n";
  sodium_memzero(raw, sizeof raw);
  return text;
}

std::string FormatSignature(const Signature& signature, std::string_view untrustedComment) {
  std::uint8_t raw[kSigLineBytes];
  std::memcpy(raw, signature.algorithm.data(), 2);
  std::memcpy(raw + 2, signature.keyId.data(), kKeyIdBytes);
  std::memcpy(raw + 2 + kKeyIdBytes, signature.signature.data(), kSignatureBytes);
  std::string text(kUntrustedPrefix);
  text.append(untrustedComment).append("\n").append(Encode(raw, sizeof raw)).append("\n");
  text.append(kTrustedPrefix).append(signature.trustedComment).append("\n");
  text.append(Encode(signature.globalSignature.data(), kSignatureBytes)).append("\n");
  return text;
}

SigError CheckFileName(std::string_view trustedComment, std::string_view fileName) {
  if (fileName.empty()) return SigError::WrongFileName;
  bool found = false;
  std::size_t pos = 0;
  while (pos <= trustedComment.size()) {
    std::size_t end = trustedComment.find_first_of("\t ", pos);
    if (end == std::string_view::npos) end = trustedComment.size();
    std::string_view field = trustedComment.substr(pos, end - pos);
    if (HasPrefix(field, kFileField)) {
      if (field.substr(kFileField.size()) != fileName) return SigError::WrongFileName;
      found = true;
    }
    pos = end + 1;
  }
  return found ? SigError::None : SigError::NoFileName;
}

}  // namespace sig
}  // namespace qel
