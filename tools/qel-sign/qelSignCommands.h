// The three commands of qel-sign. Each prints its result or the reason of its
// failure (naming the input) and returns the process exit code: 0 success,
// 1 failure, 2 wrong usage. Single-threaded tool code.
#ifndef QEL_TOOLS_QELSIGNCOMMANDS_H
#define QEL_TOOLS_QELSIGNCOMMANDS_H

#include <string>

namespace qelsign {

struct KeygenArgs {
  std::string publicKeyFile;
  std::string secretKeyFile;
  bool force = false;
};

struct SignArgs {
  std::string secretKeyFile;
  std::string signatureFile;  // empty: FILE.sig (detached) unless embed
  bool embed = false;
  std::string file;
};

struct VerifyArgs {
  std::string publicKeyFile;
  std::string signatureFile;  // empty: FILE.sig when it exists, else the embedded block
  std::string file;
  bool quiet = false;
};

int Keygen(const KeygenArgs& args);
int Sign(const SignArgs& args);
int Verify(const VerifyArgs& args);

}  // namespace qelsign

#endif  // QEL_TOOLS_QELSIGNCOMMANDS_H
