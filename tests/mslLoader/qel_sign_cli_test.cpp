// qel-sign as a user runs it, and its interoperation with minisign both ways.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "mslLoader/mslLoader.h"
#include "test_support.h"

namespace {

using qeltest::run_program;
using qeltest::temp_dir;

const std::string kTool = QEL_SIGN_TOOL;
const std::string kMinisign = QEL_MINISIGN_TOOL;

class QelSignCli : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(run_program({kTool, "keygen", "-p", pub(), "-s", key()}, &out), 0) << out;
    lib = dir.file("libthing.so");
    qeltest::write_file(lib, "\x7f" "ELF pretend library");
  }
  std::string pub() const { return dir.file("k.pub"); }
  std::string key() const { return dir.file("k.key"); }
  temp_dir dir;
  std::string lib;
  std::string out;
};

TEST_F(QelSignCli, KeygenSignVerifyDetached) {
  struct stat st;
  ASSERT_EQ(::stat(key().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(run_program({kTool, "keygen", "-p", pub(), "-s", key()}, &out), 1);
  EXPECT_NE(out.find(key() + ": already exists"), std::string::npos) << out;

  ASSERT_EQ(run_program({kTool, "sign", "-s", key(), lib}, &out), 0) << out;
  std::string sig = qeltest::read_file(lib + ".sig");
  EXPECT_NE(sig.find("\ntrusted comment: timestamp:"), std::string::npos);
  EXPECT_NE(sig.find("\tfile:libthing.so\thashed\n"), std::string::npos) << sig;
  EXPECT_EQ(run_program({kTool, "verify", "-p", pub(), lib}, &out), 0) << out;
  EXPECT_NE(out.find("file:libthing.so"), std::string::npos);

  qeltest::write_file(lib, "\x7f" "ELF pretend librarY");
  EXPECT_EQ(run_program({kTool, "verify", "-p", pub(), lib}, &out), 1);
  EXPECT_NE(out.find(lib + ".sig: signature refused: the signature does not match"),
            std::string::npos) << out;
  ASSERT_EQ(run_program({kTool, "sign", "-s", key(), "-x", dir.file("other.sig"), lib}, &out), 0);
  EXPECT_EQ(run_program({kTool, "verify", "-p", pub(), "-x", dir.file("other.sig"), lib}, &out), 0);
}

TEST_F(QelSignCli, EmbeddedSignatures) {
  std::remove((lib + ".sig").c_str());
  EXPECT_EQ(run_program({kTool, "verify", "-p", pub(), lib}, &out), 1);
  EXPECT_NE(out.find(lib + ": no signature"), std::string::npos) << out;
  ASSERT_EQ(run_program({kTool, "sign", "-s", key(), "--embed", lib}, &out), 0) << out;
  EXPECT_EQ(run_program({kTool, "verify", "-p", pub(), lib}, &out), 0) << out;
  std::string once = qeltest::read_file(lib);
  ASSERT_EQ(run_program({kTool, "sign", "-s", key(), "--embed", lib}, &out), 0) << out;
  EXPECT_EQ(qeltest::read_file(lib).size(), once.size());  // replaced, not stacked
  std::string other = dir.file("libother.so");
  qeltest::copy_file(lib, other);
  EXPECT_EQ(run_program({kTool, "verify", "-p", pub(), other}, &out), 1);
  EXPECT_NE(out.find("names another file"), std::string::npos) << out;
}

TEST_F(QelSignCli, ClearErrorsAndUsage) {
  ASSERT_EQ(run_program({kTool, "sign", "-s", key(), lib}, &out), 0);
  qeltest::MakeUntrustedKey(dir.file("u.pub"), dir.file("u.key"));
  EXPECT_EQ(run_program({kTool, "verify", "-p", dir.file("u.pub"), lib}, &out), 1);
  EXPECT_NE(out.find("signed with a key other than the given public key"), std::string::npos);
  EXPECT_EQ(run_program({kTool, "verify", "-p", dir.file("absent.pub"), lib}, &out), 1);
  EXPECT_NE(out.find(dir.file("absent.pub") + ": cannot open"), std::string::npos) << out;
  EXPECT_EQ(run_program({kTool, "sign", "-s", pub(), lib}, &out), 1);
  EXPECT_NE(out.find(pub() + ": not a usable secret key"), std::string::npos) << out;
  EXPECT_EQ(run_program({kTool}, &out), 2);
  EXPECT_EQ(run_program({kTool, "sign", "-s", key()}, &out), 2);
  EXPECT_EQ(run_program({kTool, "sign", "-s", key(), "-x", "a.sig", "--embed", lib}, &out), 2);
  EXPECT_EQ(run_program({kTool, "frobnicate"}, &out), 2);
  EXPECT_NE(out.find("usage:"), std::string::npos);
}

TEST_F(QelSignCli, InteroperatesWithMinisign) {
  if (kMinisign.empty()) GTEST_SKIP() << "minisign is not installed";
  // minisign keys, qel-sign signature, minisign verification.
  std::string mpub = dir.file("m.pub");
  std::string mkey = dir.file("m.key");
  ASSERT_EQ(run_program({kMinisign, "-G", "-W", "-p", mpub, "-s", mkey}, &out), 0) << out;
  ASSERT_EQ(run_program({kTool, "sign", "-s", mkey, lib}, &out), 0) << out;
  EXPECT_EQ(run_program({kMinisign, "-V", "-p", mpub, "-m", lib, "-x", lib + ".sig"}, &out), 0) << out;
  // qel-sign keys, minisign signature, qel-sign verification.
  ASSERT_EQ(run_program({kMinisign, "-S", "-s", key(), "-m", lib, "-x", lib + ".sig"}, &out), 0) << out;
  EXPECT_EQ(run_program({kTool, "verify", "-p", pub(), lib}, &out), 0) << out;
  // qel-sign keys and signature, minisign verification.
  ASSERT_EQ(run_program({kTool, "sign", "-s", key(), lib}, &out), 0) << out;
  EXPECT_EQ(run_program({kMinisign, "-V", "-p", pub(), "-m", lib, "-x", lib + ".sig"}, &out), 0) << out;
}

TEST_F(QelSignCli, LoaderAcceptsWhatQelSignSignsWithTheTrustedKey) {
  std::string real = dir.file("libfake.so");
  qeltest::copy_file(QEL_FAKE_SCS_A, real);
  ASSERT_EQ(run_program({kTool, "sign", "-s", QEL_TEST_SECRET_KEY, "--embed", real}, &out), 0) << out;
  EXPECT_EQ(ValidateFileSig(real.c_str()), 0u);
  ASSERT_EQ(run_program({kTool, "sign", "-s", key(), "--embed", real}, &out), 0) << out;
  EXPECT_NE(ValidateFileSig(real.c_str()), 0u);  // k.key is not compiled in
}

}  // namespace
