#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "qelConnectionServer/filestring.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelStatusCodes.h"
#include "tests/support/fresh_process.h"
#include "transaction_helpers.h"

using qel::funneltunnel::filestring;

namespace {

// A file in the temporary folder, removed at the end of the test.
class temp_file {
 public:
  temp_file(const std::string& name, const std::string& contents)
      : path(qeltest::temp_path(name)) {
    std::ofstream(path, std::ios::binary) << contents;
  }
  ~temp_file() { std::remove(path.c_str()); }
  const std::string path;
};

}  // namespace

TEST(Filestring, TextNamingAReadableFileIsReplacedUpToTheFirstZeroByte) {
  temp_file file("filestring_test_abc.txt", std::string("abc\0def", 7));
  filestring from_string(file.path);
  EXPECT_EQ(from_string.text, "abc");
  EXPECT_EQ(from_string.file_name, file.path);
  filestring from_chars(file.path.c_str());
  EXPECT_EQ(from_chars.text, "abc");
  EXPECT_EQ(from_chars.file_name, file.path);
}

TEST(Filestring, TextNamingNoFileIsKeptAndEmptyFilesGiveEmptyText) {
  filestring plain("port = 18080\naddress = 127.0.0.1");
  EXPECT_EQ(plain.text, "port = 18080\naddress = 127.0.0.1");
  EXPECT_TRUE(plain.file_name.empty());

  filestring empty(std::string{});
  EXPECT_TRUE(empty.text.empty());
  EXPECT_TRUE(empty.file_name.empty());
  filestring null_text(static_cast<const char*>(nullptr));
  EXPECT_TRUE(null_text.text.empty());

  temp_file nothing("filestring_test_empty.txt", "");
  filestring from_empty(nothing.path);
  EXPECT_TRUE(from_empty.text.empty());
  EXPECT_EQ(from_empty.file_name, nothing.path);
}

TEST(Filestring, LiteralAndZeroBytesNeverOpenAFile) {
  temp_file file("filestring_test_secret.txt", "secret");
  filestring literal = filestring::literal(file.path);
  EXPECT_EQ(literal.text, file.path);
  EXPECT_TRUE(literal.file_name.empty());

  // A text with a zero byte would name a different file through its prefix.
  const std::string with_zero = file.path + std::string("\0tail", 5);
  filestring guarded(with_zero);
  EXPECT_EQ(guarded.text, with_zero);
  EXPECT_TRUE(guarded.file_name.empty());
}

// Host values and, when the operator allows it, request bodies are read only from
// regular files of at most 1 MiB; nothing may block or read without a bound.
QEL_FRESH_PROCESS_TEST(FilestringBounds, SpecialFilesAreRefusedWithoutBlocking) {
  ASSERT_EQ(mkfifo("fifo", 0600), 0);  // no writer: a blocking open would never return
  EXPECT_EQ(qeltest::failure_code([] { filestring("fifo"); }), qel::status::CS_FILE_NOT_REGULAR);
  EXPECT_EQ(qeltest::failure_code([] { filestring::from_network("fifo"); }), qel::status::CS_FILE_NOT_REGULAR);
  EXPECT_EQ(qeltest::failure_code([] { filestring("/dev/null"); }), qel::status::CS_FILE_NOT_REGULAR);
  ASSERT_EQ(mkdir("folder", 0700), 0);
  EXPECT_EQ(qeltest::failure_code([] { filestring("folder"); }), qel::status::CS_FILE_NOT_REGULAR);
}

QEL_FRESH_PROCESS_TEST(FilestringBounds, FilesUpToOneMebibyteAreReadAndLargerOnesFail) {
  const std::string limit(qel::funneltunnel::filestring_max_bytes, 'a');
  std::ofstream("limit.txt", std::ios::binary) << limit;
  std::ofstream("over.txt", std::ios::binary) << limit << 'b';
  EXPECT_EQ(filestring("limit.txt").text, limit);
  EXPECT_EQ(filestring::from_network("limit.txt").text.size(), limit.size());
  EXPECT_EQ(qeltest::failure_code([] { filestring("over.txt"); }), qel::status::CS_FILE_TOO_LARGE);
  EXPECT_EQ(qeltest::failure_code([] { filestring::from_network("over.txt"); }), qel::status::CS_FILE_TOO_LARGE);
}

QEL_FRESH_PROCESS_TEST(FilestringBounds, NetworkValuesNeverFollowAFinalLink) {
  std::ofstream("secret.txt") << "secret";
  ASSERT_EQ(symlink("secret.txt", "link"), 0);
  const filestring host("link");
  EXPECT_EQ(host.text, "secret");
  EXPECT_EQ(host.file_name, "link");
  const filestring network = filestring::from_network("link");
  EXPECT_EQ(network.text, "link");
  EXPECT_TRUE(network.file_name.empty());
  const filestring direct = filestring::from_network("secret.txt");
  EXPECT_EQ(direct.text, "secret");
  EXPECT_EQ(direct.file_name, "secret.txt");
  EXPECT_EQ(filestring::from_network("no such file").text, "no such file");
}
