// The folder of the object holding the toolkit's code, which the catalog search and
// the service library's default folder start from.
#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "qelToolsLib/qelLibraryFolder.h"

namespace {

std::string real(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  std::string out = resolved != nullptr ? resolved : "";
  std::free(resolved);
  return out;
}

TEST(LibraryFolder, IsTheFolderOfTheObjectHoldingTheCodeWhateverTheWorkingFolder) {
  // In this test the code is linked into the test program itself.
  char self[PATH_MAX] = {0};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  const std::string program(self);
  const std::string expected = real(program.substr(0, program.rfind('/')));
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(real(qelToolsLib::qelLibraryFolder()), expected);
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir("/"), 0);
  EXPECT_EQ(real(qelToolsLib::qelLibraryFolder()), expected);
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_NE(qelToolsLib::qelLibraryFolder().back(), '/');
}

}  // namespace
