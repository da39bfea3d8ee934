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
#include <vector>

#include "command_line.h"
#include "qel_build_info.h"
#include "qelSignCommands.h"

namespace {

constexpr int kUsage = 2;

// Wrong usage: the problem (unless getopt has printed it already) and the synopsis.
int Usage(const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "qel-sign: %s\n", problem.c_str());
  std::fputs("usage: qel-sign keygen -p PUBFILE -s SECFILE [-f]\n"
             "       qel-sign sign -s SECFILE [-x SIGFILE | --embed] FILE\n"
             "       qel-sign verify -p PUBFILE [-x SIGFILE] [-q] FILE\n"
             "Try 'qel-sign --help'.\n",
             stderr);
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
      "Options (each short one has a long form: -p --public-key, -s --secret-key,\n"
      "-x --signature, -f --force, -q --quiet):\n"
      "  -h, --help   print this text\n"
      "  --version    print the version\n"
      "\n"
      "Exit status: 0 success, 1 failure (the message names the input and the cause),\n"
      "2 wrong usage.\n",
      stdout);
  return 0;
}

using qel::tools::option_entry;

// Parses the options of a command (argv[2..]) into `take`; operands go to `operands`.
// False after a usage error has been reported.
bool ParseCommand(int argc, char** argv, const std::vector<option_entry>& options,
                  const qel::tools::option_handler& take, std::vector<std::string>& operands,
                  int& code) {
  std::string error;
  if (qel::tools::parse_command_line(argc, argv, 2, "qel-sign", options, take, &operands, error))
    return true;
  code = Usage(error);
  return false;
}

// An option value that names a file must not be empty.
bool NonEmpty(const std::string& name, const std::string& value, std::string& error) {
  if (value.empty()) error = "option '" + name + "' needs a file name";
  return !value.empty();
}

int RunKeygen(int argc, char** argv) {
  qelsign::KeygenArgs args;
  std::vector<std::string> operands;
  int code = 0;
  const auto take = [&](const std::string& name, const std::string& value, std::string& error) {
    if (name == "public-key") args.publicKeyFile = value;
    else if (name == "secret-key") args.secretKeyFile = value;
    else if (name == "force") args.force = true;
    return name == "force" || NonEmpty(name, value, error);
  };
  if (!ParseCommand(argc, argv, {{"public-key", true, 'p'}, {"secret-key", true, 's'}, {"force", false, 'f'}},
                    take, operands, code))
    return code;
  if (!operands.empty()) return Usage("unexpected argument '" + operands.front() + "'");
  if (args.publicKeyFile.empty() || args.secretKeyFile.empty()) {
    return Usage("keygen needs -p PUBFILE and -s SECFILE");
  }
  return qelsign::Keygen(args);
}

int RunSign(int argc, char** argv) {
  qelsign::SignArgs args;
  std::vector<std::string> operands;
  int code = 0;
  const auto take = [&](const std::string& name, const std::string& value, std::string& error) {
    if (name == "secret-key") args.secretKeyFile = value;
    else if (name == "signature") args.signatureFile = value;
    else if (name == "embed") args.embed = true;
    return name == "embed" || NonEmpty(name, value, error);
  };
  if (!ParseCommand(argc, argv, {{"secret-key", true, 's'}, {"signature", true, 'x'}, {"embed", false}},
                    take, operands, code))
    return code;
  if (operands.size() > 1) return Usage("unexpected argument '" + operands[1] + "'");
  if (!operands.empty()) args.file = operands.front();
  if (args.secretKeyFile.empty() || args.file.empty()) return Usage("sign needs -s SECFILE and FILE");
  if (args.embed && !args.signatureFile.empty()) return Usage("-x and --embed exclude each other");
  return qelsign::Sign(args);
}

int RunVerify(int argc, char** argv) {
  qelsign::VerifyArgs args;
  std::vector<std::string> operands;
  int code = 0;
  const auto take = [&](const std::string& name, const std::string& value, std::string& error) {
    if (name == "public-key") args.publicKeyFile = value;
    else if (name == "signature") args.signatureFile = value;
    else if (name == "quiet") args.quiet = true;
    return name == "quiet" || NonEmpty(name, value, error);
  };
  if (!ParseCommand(argc, argv, {{"public-key", true, 'p'}, {"signature", true, 'x'}, {"quiet", false, 'q'}},
                    take, operands, code))
    return code;
  if (operands.size() > 1) return Usage("unexpected argument '" + operands[1] + "'");
  if (!operands.empty()) args.file = operands.front();
  if (args.publicKeyFile.empty() || args.file.empty()) return Usage("verify needs -p PUBFILE and FILE");
  return qelsign::Verify(args);
}

// "qel-sign --help", "--version" or a mistake such as "--bogus", through getopt too.
int RunGlobalOption(int argc, char** argv) {
  bool help = false, version = false;
  const auto take = [&](const std::string& name, const std::string&, std::string&) {
    (name == "help" ? help : version) = true;
    return true;
  };
  std::string error;
  if (!qel::tools::parse_command_line(argc, argv, 1, "qel-sign", {{"help", false, 'h'}, {"version", false}},
                                      take, nullptr, error))
    return Usage(error);
  if (help) return Help();
  std::printf("qel-sign %s\n", QEL_VERSION);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("no command given");
  if (argv[1][0] == '-') return RunGlobalOption(argc, argv);
  try {
    if (std::strcmp(argv[1], "keygen") == 0) return RunKeygen(argc, argv);
    if (std::strcmp(argv[1], "sign") == 0) return RunSign(argc, argv);
    if (std::strcmp(argv[1], "verify") == 0) return RunVerify(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "qel-sign: %s\n", error.what());
    return 1;
  }
  return Usage(std::string("unknown command '") + argv[1] + "'");
}
