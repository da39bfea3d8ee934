// The file signature verifier.
#include "mslLoader/qelFileSignature.h"

#include <cstring>
#include <string>

#include "mslLoader/qelEmbeddedSignature.h"
#include "mslLoader/qelMinisignCrypto.h"
#include "mslLoader/qelSafeFile.h"
#include "mslLoader/qelTrustedKeys.h"
#include "qelStatusCodes.h"

namespace qel {
namespace sig {
namespace {


std::string_view BaseName(std::string_view path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::uint32_t CheckArguments(const char* filename, const char* usage,
                             const qelFileSigOptions* options) {
  if (filename == nullptr || *filename == '\0') return qel::status::INVALID_ARGUMENT;
  if (usage == nullptr || kUsageApp != usage) return status::LOADER_BAD_USAGE;
  if (options != nullptr && options->structSize < sizeof(qelFileSigOptions)) {
    return qel::status::INVALID_ARGUMENT;
  }
  if (CompiledTrustedKeys().empty()) return status::LOADER_NO_TRUSTED_KEYS;
  return 0;
}

std::uint32_t ReadLibrary(const char* filename, std::vector<std::uint8_t>* bytes) {
  SafeReadRules rules;
  rules.maxSize = kMaxLibraryBytes;
  rules.tooBigStatus = status::LOADER_FILE_TOO_BIG;
  return ReadFileOnce(filename, rules, bytes);
}

// A detached signature authenticates itself, so its file may be a link and may be
// writable; it must be a regular file no larger than a signature can be.
std::uint32_t ReadDetached(const char* path, std::vector<std::uint8_t>* bytes) {
  SafeReadRules rules;
  rules.maxSize = kMaxSignatureText;
  rules.refuseSymlink = false;
  rules.refuseOthersWritable = false;
  rules.tooBigStatus = status::LOADER_SIG_OVERSIZED;
  rules.missingStatus = status::LOADER_SIG_MISSING;
  return ReadFileOnce(path, rules, bytes);
}

std::uint32_t LocateEmbedded(const std::vector<std::uint8_t>& bytes, EmbeddedBlock* block) {
  switch (FindEmbedded(bytes.data(), bytes.size(), block)) {
    case EmbeddedResult::Found: return 0;
    case EmbeddedResult::Absent: return status::LOADER_SIG_MISSING;
    case EmbeddedResult::Truncated: return status::LOADER_SIG_TRUNCATED;
    case EmbeddedResult::Oversized: return status::LOADER_SIG_OVERSIZED;
  }
  return status::LOADER_SIG_MALFORMED;
}

std::uint32_t VerifyFile(const char* filename, const char* externalSigPath,
                         qelFileSigOptions* options) {
  std::vector<std::uint8_t> bytes;
  if (std::uint32_t rc = ReadLibrary(filename, &bytes)) return rc;
  std::vector<std::uint8_t> detached;
  EmbeddedBlock block;
  if (externalSigPath != nullptr) {
    if (std::uint32_t rc = ReadDetached(externalSigPath, &detached)) return rc;
    block.signedSize = bytes.size();
    block.signatureText =
        std::string_view(reinterpret_cast<const char*>(detached.data()), detached.size());
  } else if (std::uint32_t rc = LocateEmbedded(bytes, &block)) {
    return rc;
  }
  std::string_view name = BaseName(filename);
  if (std::uint32_t rc = VerifySignedBytes(bytes.data(), block.signedSize, block.signatureText,
                                           name, CompiledTrustedKeys())) {
    return rc;
  }
  if (options == nullptr || options->image == nullptr) return 0;
  return SealedImage::Create(bytes.data(), block.signedSize, std::string(name).c_str(),
                             options->image);
}

}  // namespace

std::uint32_t StatusOf(SigError error) {
  switch (error) {
    case SigError::None: return 0;
    case SigError::Oversized: return status::LOADER_SIG_OVERSIZED;
    case SigError::LegacyAlgorithm: return status::LOADER_SIG_LEGACY_ALGORITHM;
    case SigError::UnknownAlgorithm: return status::LOADER_SIG_UNKNOWN_ALGORITHM;
    case SigError::UntrustedKey: return status::LOADER_SIG_UNTRUSTED_KEY;
    case SigError::BadSignature: return status::LOADER_SIG_BAD;
    case SigError::BadComment: return status::LOADER_SIG_COMMENT_BAD;
    case SigError::NoFileName: return status::LOADER_SIG_NO_FILE_NAME;
    case SigError::WrongFileName: return status::LOADER_SIG_WRONG_FILE;
    case SigError::Malformed:
    case SigError::EncryptedKey:
    case SigError::KeyChecksum: break;
  }
  return status::LOADER_SIG_MALFORMED;
}

std::uint32_t VerifySignedBytes(const std::uint8_t* data, std::size_t signedSize,
                                std::string_view signatureText, std::string_view fileName,
                                const std::vector<PublicKey>& trusted) {
  Signature signature;
  SigError parsed = ParseSignature(signatureText, &signature);
  // A legacy signature parses; Verify refuses it with its own reason.
  if (parsed != SigError::None && parsed != SigError::LegacyAlgorithm) return StatusOf(parsed);
  return StatusOf(Verify(signature, data, signedSize, fileName, trusted));
}

std::uint32_t qelVerifyFileSignature(const char* filename, const char* usage,
                                     const char* externalSigPath, qelFileSigOptions* options) {
  if (std::uint32_t rc = CheckArguments(filename, usage, options)) return rc;
  if (!InitCrypto()) return status::LOADER_CRYPTO_INIT_FAILED;
  return VerifyFile(filename, externalSigPath, options);
}

}  // namespace sig
}  // namespace qel
