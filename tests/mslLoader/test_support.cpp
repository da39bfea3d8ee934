// Helpers of the loader tests.
#include "test_support.h"

#include <stdexcept>

#include "mslLoader/mslLoaderLog.h"
#include "mslLoader/qelEmbeddedSignature.h"
#include "mslLoader/qelMinisignCrypto.h"
#include "mslLoader/qelMinisignFormat.h"

namespace qeltest {
namespace {

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

const std::uint8_t* Bytes(const std::string& data) {
  return reinterpret_cast<const std::uint8_t*>(data.data());
}

}  // namespace

std::string SignatureText(const std::string& file, const std::string& key,
                          const std::string& nameInComment) {
  qel::sig::SecretKey secret;
  if (qel::sig::ParseSecretKey(read_file(key), &secret) != qel::sig::SigError::None) {
    throw std::runtime_error("bad secret key " + key);
  }
  std::string data = read_file(file);
  std::string name = nameInComment.empty() ? BaseName(file) : nameInComment;
  qel::sig::Signature signature;
  qel::sig::Sign(secret, Bytes(data), data.size(), qel::sig::DefaultTrustedComment(name),
                 &signature);
  return qel::sig::FormatSignature(signature, "test signature");
}

void SignDetached(const std::string& file, const std::string& sigFile, const std::string& key) {
  write_file(sigFile, SignatureText(file, key));
}

void SignEmbedded(const std::string& file, const std::string& key) {
  std::string block = qel::sig::MakeEmbeddedBlock(SignatureText(file, key));
  write_file(file, read_file(file) + block);
}

void MakeUntrustedKey(const std::string& publicFile, const std::string& secretFile) {
  qel::sig::PublicKey publicKey;
  qel::sig::SecretKey secretKey;
  qel::sig::GenerateKeyPair(&publicKey, &secretKey);
  write_file(publicFile, qel::sig::FormatPublicKey(publicKey));
  write_file(secretFile, qel::sig::FormatSecretKey(secretKey), 0600);
}

LogRecorder::LogRecorder(uint32_t mask) {
  sink_.context = reinterpret_cast<uintptr_t>(this);
  sink_.mask = mask;
  sink_.log = &LogRecorder::Record;
}

LogRecorder::~LogRecorder() { qel::loader::SetSink(nullptr); }

void LogRecorder::Record(uintptr_t context, uint32_t level, const char* message,
                         const char* function) {
  reinterpret_cast<LogRecorder*>(context)->entries_.push_back({level, message, function});
}

int LogRecorder::Find(uint32_t level, const std::string& text) const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].level == level && entries_[i].message.find(text) != std::string::npos) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool LogRecorder::HasText(const std::string& text) const {
  for (const LogEntry& entry : entries_) {
    if (entry.message.find(text) != std::string::npos) return true;
  }
  return false;
}

std::string LogRecorder::Dump() const {
  std::string out;
  for (const LogEntry& entry : entries_) {
    out += std::to_string(entry.level) + " " + entry.function + ": " + entry.message + "\n";
  }
  return out;
}

std::string Text(uint32_t status) { return qel::loader::StatusText(status); }

}  // namespace qeltest
