// Helpers of the loader tests.
#include "test_support.h"

#include <fcntl.h>
#include <ftw.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "mslLoader/mslLoaderLog.h"
#include "mslLoader/qelEmbeddedSignature.h"
#include "mslLoader/qelMinisignCrypto.h"
#include "mslLoader/qelMinisignFormat.h"

extern char** environ;

namespace qeltest {
namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

const std::uint8_t* Bytes(const std::string& data) {
  return reinterpret_cast<const std::uint8_t*>(data.data());
}

}  // namespace

TempDir::TempDir() {
  std::string pattern = ::testing::TempDir() + "qelmsl-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() { ::nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const std::string& path, const std::string& content, unsigned mode) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
  }
  ::chmod(path.c_str(), mode);
}

void CopyFile(const std::string& from, const std::string& to, unsigned mode) {
  WriteFile(to, ReadFile(from), mode);
}

std::string SignatureText(const std::string& file, const std::string& key,
                          const std::string& nameInComment) {
  qel::sig::SecretKey secret;
  if (qel::sig::ParseSecretKey(ReadFile(key), &secret) != qel::sig::SigError::None) {
    throw std::runtime_error("bad secret key " + key);
  }
  std::string data = ReadFile(file);
  std::string name = nameInComment.empty() ? BaseName(file) : nameInComment;
  qel::sig::Signature signature;
  qel::sig::Sign(secret, Bytes(data), data.size(), qel::sig::DefaultTrustedComment(name),
                 &signature);
  return qel::sig::FormatSignature(signature, "test signature");
}

void SignDetached(const std::string& file, const std::string& sigFile, const std::string& key) {
  WriteFile(sigFile, SignatureText(file, key));
}

void SignEmbedded(const std::string& file, const std::string& key) {
  std::string block = qel::sig::MakeEmbeddedBlock(SignatureText(file, key));
  WriteFile(file, ReadFile(file) + block);
}

void MakeUntrustedKey(const std::string& publicFile, const std::string& secretFile) {
  qel::sig::PublicKey publicKey;
  qel::sig::SecretKey secretKey;
  qel::sig::GenerateKeyPair(&publicKey, &secretKey);
  WriteFile(publicFile, qel::sig::FormatPublicKey(publicKey));
  WriteFile(secretFile, qel::sig::FormatSecretKey(secretKey), 0600);
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

int RunProgram(const std::vector<std::string>& argv, std::string* output) {
  TempDir dir;
  std::string outFile = dir.file("output");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot run " + argv[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (output != nullptr) *output = ReadFile(outFile);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Text(uint32_t status) { return qel::loader::StatusText(status); }

}  // namespace qeltest
