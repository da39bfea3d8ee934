// The minisign formats and the embedded signature block, attacked with damaged and
// hostile texts.
#include <gtest/gtest.h>
#include <sodium.h>

#include <string>

#include "mslLoader/qelEmbeddedSignature.h"
#include "mslLoader/qelMinisignCrypto.h"
#include "mslLoader/qelMinisignFormat.h"

namespace {

using qel::sig::SigError;

const std::uint8_t* Bytes(const std::string& data) {
  return reinterpret_cast<const std::uint8_t*>(data.data());
}

struct Fixture {
  qel::sig::PublicKey publicKey;
  qel::sig::SecretKey secretKey;
  std::string data = "library bytes \x7f" "ELF";
  qel::sig::Signature signature;
  std::string text;
  Fixture() {
    qel::sig::GenerateKeyPair(&publicKey, &secretKey);
    qel::sig::Sign(secretKey, Bytes(data), data.size(), "timestamp:1\tfile:libx.so\thashed",
                   &signature);
    text = qel::sig::FormatSignature(signature, "untrusted");
  }
  SigError Check(const std::string& sigText, const std::string& name = "libx.so") const {
    qel::sig::Signature parsed;
    SigError rc = qel::sig::ParseSignature(sigText, &parsed);
    if (rc != SigError::None) return rc;
    return qel::sig::Verify(parsed, Bytes(data), data.size(), name, {publicKey});
  }
};

std::string ReplaceLine(const std::string& text, int index, const std::string& line) {
  std::string out;
  std::size_t pos = 0;
  for (int i = 0; pos < text.size(); ++i) {
    std::size_t end = text.find('\n', pos);
    out += (i == index ? line : text.substr(pos, end - pos)) + "\n";
    pos = end + 1;
  }
  return out;
}

TEST(MinisignFormat, KeysAndSignaturesRoundTripAndVerify) {
  Fixture f;
  qel::sig::PublicKey parsedPublic;
  ASSERT_EQ(qel::sig::ParsePublicKey(qel::sig::FormatPublicKey(f.publicKey), &parsedPublic),
            SigError::None);
  EXPECT_EQ(parsedPublic.key, f.publicKey.key);
  EXPECT_EQ(parsedPublic.keyId, f.publicKey.keyId);
  qel::sig::SecretKey parsedSecret;
  ASSERT_EQ(qel::sig::ParseSecretKey(qel::sig::FormatSecretKey(f.secretKey), &parsedSecret),
            SigError::None);
  EXPECT_EQ(parsedSecret.key, f.secretKey.key);
  qel::sig::PublicKey derived;
  EXPECT_TRUE(qel::sig::PublicKeyOf(parsedSecret, &derived));
  EXPECT_EQ(derived.key, f.publicKey.key);
  EXPECT_EQ(f.Check(f.text), SigError::None);
  // Windows line ends are tolerated, as minisign does.
  std::string crlf;
  for (char c : f.text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(f.Check(crlf), SigError::None);
}

TEST(MinisignFormat, RefusesEveryKindOfDamage) {
  Fixture f;
  std::string changedData = f.data;
  changedData[0] ^= 1;
  qel::sig::Signature parsed;
  ASSERT_EQ(qel::sig::ParseSignature(f.text, &parsed), SigError::None);
  EXPECT_EQ(qel::sig::Verify(parsed, Bytes(changedData), changedData.size(), "libx.so",
                             {f.publicKey}),
            SigError::BadSignature);
  EXPECT_EQ(f.Check(ReplaceLine(f.text, 2, "trusted comment: timestamp:1\tfile:liby.so")),
            SigError::BadComment);
  EXPECT_EQ(f.Check(f.text, "liby.so"), SigError::WrongFileName);
  qel::sig::PublicKey other;
  qel::sig::SecretKey otherSecret;
  qel::sig::GenerateKeyPair(&other, &otherSecret);
  EXPECT_EQ(qel::sig::Verify(parsed, Bytes(f.data), f.data.size(), "libx.so", {other}),
            SigError::UntrustedKey);
  // Same key id, other key: the signature itself fails.
  other.keyId = f.publicKey.keyId;
  EXPECT_EQ(qel::sig::Verify(parsed, Bytes(f.data), f.data.size(), "libx.so", {other}),
            SigError::BadSignature);
}

TEST(MinisignFormat, RefusesMalformedAndForeignTexts) {
  Fixture f;
  EXPECT_EQ(f.Check(""), SigError::Malformed);
  EXPECT_EQ(f.Check(f.text.substr(0, f.text.rfind('\n', f.text.size() - 2) + 1)),
            SigError::Malformed);                                       // three lines
  EXPECT_EQ(f.Check(f.text + "extra\n"), SigError::Malformed);         // five lines
  EXPECT_EQ(f.Check(ReplaceLine(f.text, 0, "comment: x")), SigError::Malformed);
  EXPECT_EQ(f.Check(ReplaceLine(f.text, 2, "trusted: x")), SigError::Malformed);
  EXPECT_EQ(f.Check(ReplaceLine(f.text, 1, "RUQ!")), SigError::Malformed);
  EXPECT_EQ(f.Check(ReplaceLine(f.text, 3, "AAAA")), SigError::Malformed);  // short
  EXPECT_EQ(f.Check(std::string(qel::sig::kMaxSignatureText + 1, 'a')), SigError::Oversized);
  EXPECT_EQ(f.Check(ReplaceLine(f.text, 0, "untrusted comment: " + std::string(2000, 'x'))),
            SigError::Malformed);
  // Algorithm bytes "Ed" (legacy) and "XY" (unknown): re-encode the second line.
  unsigned char raw[74];
  size_t length = 0;
  std::string line1 = f.text.substr(f.text.find('\n') + 1);
  line1 = line1.substr(0, line1.find('\n'));
  ASSERT_EQ(sodium_base642bin(raw, sizeof raw, line1.c_str(), line1.size(), nullptr, &length,
                              nullptr, sodium_base64_VARIANT_ORIGINAL), 0);
  char encoded[128];
  raw[1] = 'd';
  sodium_bin2base64(encoded, sizeof encoded, raw, sizeof raw, sodium_base64_VARIANT_ORIGINAL);
  EXPECT_EQ(f.Check(ReplaceLine(f.text, 1, encoded)), SigError::LegacyAlgorithm);
  raw[0] = 'X';
  sodium_bin2base64(encoded, sizeof encoded, raw, sizeof raw, sodium_base64_VARIANT_ORIGINAL);
  EXPECT_EQ(f.Check(ReplaceLine(f.text, 1, encoded)), SigError::UnknownAlgorithm);
}

TEST(MinisignFormat, SecretKeyChecks) {
  Fixture f;
  std::string text = qel::sig::FormatSecretKey(f.secretKey);
  std::string line = text.substr(text.find('\n') + 1);
  line.pop_back();
  unsigned char raw[158];
  size_t length = 0;
  ASSERT_EQ(sodium_base642bin(raw, sizeof raw, line.c_str(), line.size(), nullptr, &length,
                              nullptr, sodium_base64_VARIANT_ORIGINAL), 0);
  auto encode = [&raw]() {
    char out[256];
    sodium_bin2base64(out, sizeof out, raw, sizeof raw, sodium_base64_VARIANT_ORIGINAL);
    return std::string("untrusted comment: k\n") + out + "\n";
  };
  qel::sig::SecretKey parsed;
  raw[157] ^= 1;  // checksum
  EXPECT_EQ(qel::sig::ParseSecretKey(encode(), &parsed), SigError::KeyChecksum);
  std::fill(raw + 126, raw + 158, 0);  // minisign -W writes no checksum
  EXPECT_EQ(qel::sig::ParseSecretKey(encode(), &parsed), SigError::None);
  raw[100] ^= 1;  // public half no longer belongs to the seed
  EXPECT_EQ(qel::sig::ParseSecretKey(encode(), &parsed), SigError::None);
  qel::sig::PublicKey derived;
  EXPECT_FALSE(qel::sig::PublicKeyOf(parsed, &derived));
  raw[2] = 'S';
  raw[3] = 'c';
  EXPECT_EQ(qel::sig::ParseSecretKey(encode(), &parsed), SigError::EncryptedKey);
}

TEST(MinisignFormat, FileNameFieldOfTrustedComment) {
  using qel::sig::CheckFileName;
  EXPECT_EQ(CheckFileName("timestamp:1\tfile:liba.so\thashed", "liba.so"), SigError::None);
  EXPECT_EQ(CheckFileName("timestamp:1 file:liba.so", "liba.so"), SigError::None);
  EXPECT_EQ(CheckFileName("file:liba.so", "liba.so"), SigError::None);
  EXPECT_EQ(CheckFileName("timestamp:1\tfile:liba.so.bak", "liba.so"), SigError::WrongFileName);
  EXPECT_EQ(CheckFileName("file:liba.so\tfile:libb.so", "liba.so"), SigError::WrongFileName);
  EXPECT_EQ(CheckFileName("timestamp:1\tname:liba.so", "liba.so"), SigError::NoFileName);
  EXPECT_EQ(CheckFileName("", "liba.so"), SigError::NoFileName);
  EXPECT_EQ(CheckFileName("file:", ""), SigError::WrongFileName);
}

TEST(EmbeddedSignature, FindsSplitsAndRefusesDamagedBlocks) {
  using qel::sig::EmbeddedResult;
  const std::string elf = "\x7f" "ELF body";
  std::string file = elf + qel::sig::MakeEmbeddedBlock("sig text\n");
  qel::sig::EmbeddedBlock block;
  ASSERT_EQ(qel::sig::FindEmbedded(Bytes(file), file.size(), &block), EmbeddedResult::Found);
  EXPECT_EQ(block.signedSize, elf.size());
  EXPECT_EQ(block.signatureText, "sig text\n");
  EXPECT_EQ(qel::sig::FindEmbedded(Bytes(elf), elf.size(), &block), EmbeddedResult::Absent);
  std::string trailerOnly(qel::sig::kEmbeddedTrailer);
  EXPECT_EQ(qel::sig::FindEmbedded(Bytes(trailerOnly), trailerOnly.size(), &block),
            EmbeddedResult::Truncated);
  std::string tooLong = std::string("\0\0\x10\0", 4) + trailerOnly;  // claims 4096 bytes
  EXPECT_EQ(qel::sig::FindEmbedded(Bytes(tooLong), tooLong.size(), &block),
            EmbeddedResult::Truncated);
  std::string huge = elf + std::string("\x7f\xff\xff\xff", 4) + trailerOnly;
  EXPECT_EQ(qel::sig::FindEmbedded(Bytes(huge), huge.size(), &block), EmbeddedResult::Oversized);
}

}  // namespace
