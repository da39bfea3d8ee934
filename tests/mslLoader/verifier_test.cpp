// The file signature verifier on real files: what it accepts, what it hands over,
// and every reason it refuses.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "mslLoader/qelEmbeddedSignature.h"
#include "mslLoader/qelFileSignature.h"
#include "qelStatusCodes.h"
#include "test_support.h"

namespace {

using qel::sig::SealedImage;
using qeltest::temp_dir;
namespace status = qel::status;

uint32_t Verify(const std::string& file, const char* sigFile, SealedImage* image = nullptr) {
  qel::sig::qelFileSigOptions options;
  options.image = image;
  return qel::sig::qelVerifyFileSignature(file.c_str(), "app", sigFile, &options);
}

std::string ImageBytes(const SealedImage& image) {
  struct stat st;
  EXPECT_EQ(::fstat(image.fd(), &st), 0);
  std::string bytes(static_cast<size_t>(st.st_size), '\0');
  EXPECT_EQ(::pread(image.fd(), bytes.data(), bytes.size(), 0), st.st_size);
  return bytes;
}

TEST(FileSignature, AcceptsDetachedAndEmbeddedAndHandsOverSealedBytes) {
  temp_dir dir;
  std::string lib = dir.file("libfake.so");
  qeltest::copy_file(QEL_FAKE_SCS_A, lib);
  const std::string original = qeltest::read_file(lib);
  qeltest::SignDetached(lib, lib + ".sig");
  SealedImage image;
  ASSERT_EQ(Verify(lib, (lib + ".sig").c_str(), &image), 0u);
  EXPECT_EQ(ImageBytes(image), original);
  EXPECT_EQ(SealedImage::CheckSealedExecutable(image.fd()), 0u);
  // A sealed image cannot be written, grown or shrunk.
  EXPECT_LT(::pwrite(image.fd(), "x", 1, 0), 0);
  EXPECT_NE(::ftruncate(image.fd(), 1), 0);

  qeltest::SignEmbedded(lib);
  SealedImage embedded;
  ASSERT_EQ(Verify(lib, nullptr, &embedded), 0u);
  EXPECT_EQ(ImageBytes(embedded), original);  // without the signature block
  EXPECT_EQ(Verify(lib, nullptr), 0u);        // without options: verify only
}

TEST(FileSignature, RefusesChangedMissingUntrustedAndMisnamed) {
  temp_dir dir;
  std::string lib = dir.file("liba.so");
  qeltest::copy_file(QEL_FAKE_SCS_A, lib);
  EXPECT_EQ(Verify(lib, nullptr), status::LOADER_SIG_MISSING);
  EXPECT_EQ(Verify(lib, (lib + ".sig").c_str()), status::LOADER_SIG_MISSING);

  qeltest::SignDetached(lib, lib + ".sig");
  std::string bytes = qeltest::read_file(lib);
  bytes[bytes.size() / 2] ^= 0x01;
  qeltest::write_file(lib, bytes);
  EXPECT_EQ(Verify(lib, (lib + ".sig").c_str()), status::LOADER_SIG_BAD);

  qeltest::copy_file(QEL_FAKE_SCS_A, lib);
  qeltest::MakeUntrustedKey(dir.file("u.pub"), dir.file("u.key"));
  qeltest::SignDetached(lib, lib + ".sig", dir.file("u.key"));
  EXPECT_EQ(Verify(lib, (lib + ".sig").c_str()), status::LOADER_SIG_UNTRUSTED_KEY);

  // A valid signature of liba.so does not admit the same bytes as libb.so.
  qeltest::SignDetached(lib, lib + ".sig");
  ASSERT_EQ(Verify(lib, (lib + ".sig").c_str()), 0u);
  std::string other = dir.file("libb.so");
  qeltest::copy_file(lib, other);
  EXPECT_EQ(Verify(other, (lib + ".sig").c_str()), status::LOADER_SIG_WRONG_FILE);

  qeltest::write_file(lib + ".sig", qeltest::SignatureText(lib).replace(0, 9, "trusted  "));
  EXPECT_EQ(Verify(lib, (lib + ".sig").c_str()), status::LOADER_SIG_MALFORMED);
}

TEST(FileSignature, RefusesTruncatedAndOversizedSignatureBlocks) {
  temp_dir dir;
  std::string lib = dir.file("liba.so");
  std::string body = qeltest::read_file(QEL_FAKE_SCS_A);
  std::string trailer(qel::sig::kEmbeddedTrailer);
  qeltest::write_file(lib, body.substr(0, 10) + std::string("\0\0\x01\0", 4) + trailer);
  EXPECT_EQ(Verify(lib, nullptr), status::LOADER_SIG_TRUNCATED);
  qeltest::write_file(lib, body + std::string("\0\x10\0\0", 4) + trailer);
  EXPECT_EQ(Verify(lib, nullptr), status::LOADER_SIG_OVERSIZED);
  // A signature block cut short inside its text no longer parses.
  qeltest::write_file(lib, body);
  std::string text = qeltest::SignatureText(lib);
  qeltest::write_file(lib, body + qel::sig::MakeEmbeddedBlock(text.substr(0, text.size() / 2)));
  EXPECT_EQ(Verify(lib, nullptr), status::LOADER_SIG_MALFORMED);
  qeltest::write_file(lib, body);
  qeltest::write_file(lib + ".sig", text + std::string(16 * 1024, '#'));
  EXPECT_EQ(Verify(lib, (lib + ".sig").c_str()), status::LOADER_SIG_OVERSIZED);
}

TEST(FileSignature, RefusesUnsafeFiles) {
  temp_dir dir;
  std::string lib = dir.file("liba.so");
  qeltest::copy_file(QEL_FAKE_SCS_A, lib);
  qeltest::SignEmbedded(lib);
  ASSERT_EQ(Verify(lib, nullptr), 0u);
  std::string link = dir.file("liblink.so");
  ASSERT_EQ(::symlink(lib.c_str(), link.c_str()), 0);
  EXPECT_EQ(Verify(link, nullptr), status::LOADER_FILE_IS_SYMLINK);
  ::chmod(lib.c_str(), 0664);
  EXPECT_EQ(Verify(lib, nullptr), status::LOADER_FILE_WRITABLE_BY_OTHERS);
  ::chmod(lib.c_str(), 0646);
  EXPECT_EQ(Verify(lib, nullptr), status::LOADER_FILE_WRITABLE_BY_OTHERS);
  std::string fifo = dir.file("libfifo.so");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(Verify(fifo, nullptr), status::LOADER_FILE_NOT_REGULAR);
  EXPECT_EQ(Verify(dir.path(), nullptr), status::LOADER_FILE_NOT_REGULAR);
  std::string big = dir.file("libbig.so");
  qeltest::write_file(big, "");
  ASSERT_EQ(::truncate(big.c_str(), qel::sig::kMaxLibraryBytes + 1), 0);  // sparse
  EXPECT_EQ(Verify(big, nullptr), status::LOADER_FILE_TOO_BIG);
  EXPECT_EQ(Verify(dir.file("absent.so"), nullptr), status::LOADER_FILE_OPEN_FAILED);
}

TEST(FileSignature, RefusesBadArgumentsAndLegacySignatures) {
  temp_dir dir;
  std::string lib = dir.file("liba.so");
  qeltest::copy_file(QEL_FAKE_SCS_A, lib);
  qeltest::SignEmbedded(lib);
  EXPECT_EQ(qel::sig::qelVerifyFileSignature(lib.c_str(), "kernel", nullptr, nullptr),
            status::LOADER_BAD_USAGE);
  EXPECT_EQ(qel::sig::qelVerifyFileSignature(nullptr, "app", nullptr, nullptr), 0xC7210003u);
  EXPECT_EQ(qel::sig::qelVerifyFileSignature("", "app", nullptr, nullptr), 0xC7210003u);
  qel::sig::qelFileSigOptions small;
  small.structSize = 4;
  EXPECT_EQ(qel::sig::qelVerifyFileSignature(lib.c_str(), "app", nullptr, &small), 0xC7210003u);
  if (std::string(QEL_MINISIGN_TOOL).empty()) GTEST_SKIP() << "minisign is not installed";
  qeltest::copy_file(QEL_FAKE_SCS_A, lib);
  ASSERT_EQ(qeltest::run_program({QEL_MINISIGN_TOOL, "-S", "-l", "-s", QEL_TEST_SECRET_KEY, "-m", lib,
                          "-x", lib + ".sig"}),
            0);
  EXPECT_EQ(Verify(lib, (lib + ".sig").c_str()), status::LOADER_SIG_LEGACY_ALGORITHM);
}

TEST(SealedImage, RefusesUnsealedAndNonExecutableMemoryFiles) {
  int fd = ::memfd_create("unsealed", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(SealedImage::CheckSealedExecutable(fd), qel::status::LOADER_MEMFD_SEAL_FAILED);
  ::close(fd);
#ifndef MFD_NOEXEC_SEAL
  constexpr unsigned MFD_NOEXEC_SEAL = 0x0008U;
#endif
  fd = ::memfd_create("noexec", MFD_CLOEXEC | MFD_ALLOW_SEALING | MFD_NOEXEC_SEAL);
  if (fd < 0) GTEST_SKIP() << "this kernel has no non-executable memory files";
  ASSERT_EQ(::fcntl(fd, F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_GROW | F_SEAL_SHRINK | F_SEAL_SEAL), 0);
  EXPECT_EQ(SealedImage::CheckSealedExecutable(fd), qel::status::LOADER_MEMFD_NOT_EXECUTABLE);
  ::close(fd);
}

}  // namespace
