// qel-sign: signing keys, signatures and their verification for service libraries,
// in minisign's formats (so minisign can verify what it signs, and the reverse).
//
//   qel-sign keygen -p PUBFILE -s SECFILE [-f]
//   qel-sign sign -s SECFILE [-x SIGFILE | --embed] FILE
//   qel-sign verify -p PUBFILE [-x SIGFILE] [-q] FILE
//   qel-sign --help | --version
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "qel_build_info.h"
#include "qelSignCommands.h"

namespace {

constexpr int kUsage = 2;

int Usage(const char* problem) {
  std::fprintf(stderr,
               "qel-sign: %s\n"
               "usage: qel-sign keygen -p PUBFILE -s SECFILE [-f]\n"
               "       qel-sign sign -s SECFILE [-x SIGFILE | --embed] FILE\n"
               "       qel-sign verify -p PUBFILE [-x SIGFILE] [-q] FILE\n"
               "Try 'qel-sign --help'.\n",
               problem);
  return kUsage;
}

int Help() {
  std::fputs(
      "Usage: qel-sign COMMAND [options]\n"
      "\n"
      "Makes signing keys, signs service libraries and verifies their signatures, in\n"
      "minisign's formats: minisign verifies what qel-sign signs, and the reverse.\n"
      "\n"
      "Commands:\n"
      "  keygen -p PUBFILE -s SECFILE [-f]\n"
      "      write a new key pair: PUBFILE (public key) and SECFILE (unencrypted secret\n"
      "      key, mode 0600); existing files are kept unless -f is given\n"
      "  sign -s SECFILE [-x SIGFILE | --embed] FILE\n"
      "      sign FILE: a detached signature in FILE.sig (or SIGFILE), or with --embed\n"
      "      a signature block appended to FILE, replacing one already there\n"
      "  verify -p PUBFILE [-x SIGFILE] [-q] FILE\n"
      "      check FILE's signature (in SIGFILE; without -x in FILE.sig when it exists,\n"
      "      else the embedded block) against PUBFILE as the loader does, and print the\n"
      "      trusted comment (-q: print nothing)\n"
      "\n"
      "Options:\n"
      "  -h, --help   print this text\n"
      "  --version    print the version\n"
      "\n"
      "Exit status: 0 success, 1 failure (the message names the input and the cause),\n"
      "2 wrong usage.\n",
      stdout);
  return 0;
}

// Takes the value of an option that needs one; false when it is missing.
bool Value(int argc, char** argv, int* i, std::string* out) {
  if (*i + 1 >= argc) return false;
  *out = argv[++*i];
  return !out->empty();
}

int RunKeygen(int argc, char** argv) {
  qelsign::KeygenArgs args;
  for (int i = 2; i < argc; ++i) {
    std::string option = argv[i];
    bool ok = true;
    if (option == "-p") ok = Value(argc, argv, &i, &args.publicKeyFile);
    else if (option == "-s") ok = Value(argc, argv, &i, &args.secretKeyFile);
    else if (option == "-f") args.force = true;
    else return Usage(("unknown argument " + option).c_str());
    if (!ok) return Usage((option + " needs a file name").c_str());
  }
  if (args.publicKeyFile.empty() || args.secretKeyFile.empty()) {
    return Usage("keygen needs -p PUBFILE and -s SECFILE");
  }
  return qelsign::Keygen(args);
}

int RunSign(int argc, char** argv) {
  qelsign::SignArgs args;
  for (int i = 2; i < argc; ++i) {
    std::string option = argv[i];
    bool ok = true;
    if (option == "-s") ok = Value(argc, argv, &i, &args.secretKeyFile);
    else if (option == "-x") ok = Value(argc, argv, &i, &args.signatureFile);
    else if (option == "--embed") args.embed = true;
    else if (option[0] == '-' || !args.file.empty()) return Usage(("unexpected argument " + option).c_str());
    else args.file = option;
    if (!ok) return Usage((option + " needs a file name").c_str());
  }
  if (args.secretKeyFile.empty() || args.file.empty()) return Usage("sign needs -s SECFILE and FILE");
  if (args.embed && !args.signatureFile.empty()) return Usage("-x and --embed exclude each other");
  return qelsign::Sign(args);
}

int RunVerify(int argc, char** argv) {
  qelsign::VerifyArgs args;
  for (int i = 2; i < argc; ++i) {
    std::string option = argv[i];
    bool ok = true;
    if (option == "-p") ok = Value(argc, argv, &i, &args.publicKeyFile);
    else if (option == "-x") ok = Value(argc, argv, &i, &args.signatureFile);
    else if (option == "-q") args.quiet = true;
    else if (option[0] == '-' || !args.file.empty()) return Usage(("unexpected argument " + option).c_str());
    else args.file = option;
    if (!ok) return Usage((option + " needs a file name").c_str());
  }
  if (args.publicKeyFile.empty() || args.file.empty()) return Usage("verify needs -p PUBFILE and FILE");
  return qelsign::Verify(args);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("no command given");
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) return Help();
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("qel-sign %s\n", QEL_VERSION);
    return 0;
  }
  try {
    if (std::strcmp(argv[1], "keygen") == 0) return RunKeygen(argc, argv);
    if (std::strcmp(argv[1], "sign") == 0) return RunSign(argc, argv);
    if (std::strcmp(argv[1], "verify") == 0) return RunVerify(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "qel-sign: %s\n", error.what());
    return 1;
  }
  return Usage((std::string("unknown command ") + argv[1]).c_str());
}
