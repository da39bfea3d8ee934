// The three commands of qel-sign.
#include "qelSignCommands.h"

#include <cstdio>
#include <vector>

#include "mslLoader/qelEmbeddedSignature.h"
#include "mslLoader/qelMinisignCrypto.h"
#include "mslLoader/qelMinisignFormat.h"
#include "qelSignFiles.h"

namespace qelsign {
namespace {

using qel::sig::SigError;

constexpr char kDefaultExtension[] = ".sig";
constexpr char kUntrustedComment[] = "signature from qel-sign secret key";

int Fail(const std::string& input, const std::string& cause) {
  std::fprintf(stderr, "qel-sign: %s: %s\n", input.c_str(), cause.c_str());
  return 1;
}

const std::uint8_t* Bytes(const std::string& data) {
  return reinterpret_cast<const std::uint8_t*>(data.data());
}

// Reads and checks a secret key file.
bool LoadSecretKey(const std::string& path, qel::sig::SecretKey* key, std::string* error) {
  std::string text;
  if (!ReadWholeFile(path, &text, error)) return false;
  SigError rc = qel::sig::ParseSecretKey(text, key);
  qel::sig::PublicKey derived;
  if (rc == SigError::None && !qel::sig::PublicKeyOf(*key, &derived)) rc = SigError::KeyChecksum;
  if (rc != SigError::None) *error = std::string("not a usable secret key: ") + Describe(rc);
  return rc == SigError::None;
}

// The bytes a new signature covers: the whole file, or for an embedded signature
// the file without any signature block it already carries.
std::string SignedPart(const std::string& content, bool embed) {
  qel::sig::EmbeddedBlock block;
  if (embed && qel::sig::FindEmbedded(Bytes(content), content.size(), &block) ==
                   qel::sig::EmbeddedResult::Found) {
    return content.substr(0, block.signedSize);
  }
  return content;
}

// Finds the signature text and the signed length for verification.
bool LocateSignature(const VerifyArgs& args, const std::string& content, std::string* text,
                     std::size_t* signedSize, std::string* where) {
  std::string error;
  std::string sigFile = args.signatureFile;
  if (sigFile.empty() && FileExists(args.file + kDefaultExtension)) {
    sigFile = args.file + kDefaultExtension;
  }
  *signedSize = content.size();
  if (!sigFile.empty()) {
    *where = sigFile;
    if (ReadWholeFile(sigFile, text, &error)) return true;
    Fail(sigFile, error);
    return false;
  }
  *where = args.file + " (embedded)";
  qel::sig::EmbeddedBlock block;
  switch (qel::sig::FindEmbedded(Bytes(content), content.size(), &block)) {
    case qel::sig::EmbeddedResult::Found:
      text->assign(block.signatureText);
      *signedSize = block.signedSize;
      return true;
    case qel::sig::EmbeddedResult::Absent:
      Fail(args.file, "no signature: neither " + args.file + kDefaultExtension +
                          " nor an embedded signature block");
      break;
    case qel::sig::EmbeddedResult::Truncated:
      Fail(args.file, "the embedded signature block is truncated");
      break;
    case qel::sig::EmbeddedResult::Oversized:
      Fail(args.file, "the embedded signature block is oversized");
      break;
  }
  return false;
}

std::string RefusalText(SigError rc, const qel::sig::Signature& sig,
                        const qel::sig::PublicKey& key) {
  std::string text = std::string("signature refused: ") + Describe(rc);
  if (rc == SigError::UntrustedKey) {
    text += " (signed with key " + qel::sig::KeyIdHex(sig.keyId) + ", public key is " +
            qel::sig::KeyIdHex(key.keyId) + ")";
  }
  return text;
}

}  // namespace

int Keygen(const KeygenArgs& args) {
  qel::sig::PublicKey publicKey;
  qel::sig::SecretKey secretKey;
  if (!qel::sig::GenerateKeyPair(&publicKey, &secretKey)) {
    return Fail(args.secretKeyFile, "the cryptographic library cannot be initialised");
  }
  std::string error;
  if (!WriteNewFile(args.secretKeyFile, qel::sig::FormatSecretKey(secretKey), 0600, args.force,
                    &error)) {
    return Fail(args.secretKeyFile, error);
  }
  if (!WriteNewFile(args.publicKeyFile, qel::sig::FormatPublicKey(publicKey), 0644, args.force,
                    &error)) {
    return Fail(args.publicKeyFile, error);
  }
  std::printf("Key pair %s written: public key %s, secret key %s (unencrypted: keep it secret)\n",
              qel::sig::KeyIdHex(publicKey.keyId).c_str(), args.publicKeyFile.c_str(),
              args.secretKeyFile.c_str());
  return 0;
}

int Sign(const SignArgs& args) {
  qel::sig::SecretKey key;
  std::string error;
  if (!LoadSecretKey(args.secretKeyFile, &key, &error)) return Fail(args.secretKeyFile, error);
  std::string content;
  if (!ReadWholeFile(args.file, &content, &error)) return Fail(args.file, error);
  std::string data = SignedPart(content, args.embed);
  qel::sig::Signature signature;
  if (!qel::sig::Sign(key, Bytes(data), data.size(),
                      qel::sig::DefaultTrustedComment(BaseName(args.file)), &signature)) {
    return Fail(args.file, "signing failed");
  }
  std::string text = qel::sig::FormatSignature(signature, kUntrustedComment);
  if (args.embed) {
    if (!ReplaceFile(args.file, data + qel::sig::MakeEmbeddedBlock(text), &error)) {
      return Fail(args.file, error);
    }
    return 0;
  }
  std::string sigFile = args.signatureFile.empty() ? args.file + kDefaultExtension
                                                   : args.signatureFile;
  if (!WriteNewFile(sigFile, text, 0644, true, &error)) return Fail(sigFile, error);
  return 0;
}

int Verify(const VerifyArgs& args) {
  std::string keyText;
  std::string content;
  std::string error;
  qel::sig::PublicKey key;
  if (!ReadWholeFile(args.publicKeyFile, &keyText, &error)) return Fail(args.publicKeyFile, error);
  SigError rc = qel::sig::ParsePublicKey(keyText, &key);
  if (rc != SigError::None) return Fail(args.publicKeyFile, Describe(rc));
  if (!ReadWholeFile(args.file, &content, &error)) return Fail(args.file, error);
  std::string sigText;
  std::string where;
  std::size_t signedSize = 0;
  if (!LocateSignature(args, content, &sigText, &signedSize, &where)) return 1;
  qel::sig::Signature sig;
  rc = qel::sig::ParseSignature(sigText, &sig);
  if (rc == SigError::None || rc == SigError::LegacyAlgorithm) {
    rc = qel::sig::Verify(sig, Bytes(content), signedSize, BaseName(args.file), {key});
  }
  if (rc != SigError::None) return Fail(where, RefusalText(rc, sig, key));
  if (!args.quiet) {
    std::printf("Signature and comment signature verified\nTrusted comment: %s\n",
                sig.trustedComment.c_str());
  }
  return 0;
}

}  // namespace qelsign
