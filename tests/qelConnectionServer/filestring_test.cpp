#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "qelConnectionServer/filestring.h"

using qel::funneltunnel::filestring;

namespace {

// A file in the test's working directory, removed at the end of the test.
class temp_file {
 public:
  temp_file(const std::string& name, const std::string& contents) : path(name) {
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

TEST(Filestring, CopiesCarryBothFields) {
  temp_file file("filestring_test_copy.txt", "xyz");
  filestring original(file.path);
  filestring copy = original;
  EXPECT_EQ(copy.text, "xyz");
  EXPECT_EQ(copy.file_name, file.path);
  filestring assigned;
  assigned = original;
  EXPECT_EQ(assigned.file_name, file.path);
}
