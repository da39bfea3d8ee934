// The shared library as the loader sees it: exactly the table's 77 names and the
// extensions exported, each under its version node, no run path, only system
// dependencies; the unsupported functions, the status texts, and the function names
// its log lines carry.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "scs_test_support.h"
#include "tests/support/child_process.h"

namespace {

// The file this test process actually loaded the library from.
std::string library_path() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&SCS_Allocate), &info) == 0) return "";
  return info.dli_fname;
}

std::set<std::string> words(const std::string& text) {
  std::set<std::string> found;
  std::size_t start = 0;
  while ((start = text.find_first_not_of(" \n", start)) != std::string::npos) {
    const auto end = text.find_first_of(" \n", start);
    found.insert(text.substr(start, end - start));
    start = end;
  }
  return found;
}

}  // namespace

TEST(ScsLibrary, ExportsExactlyTheTableWithoutRunPath) {
  // The table under Version_5.0, each round of extensions under a node of its own.
  std::set<std::string> expected = {"Version_5.0", "QELSCS_EXT_1", "QELSCS_EXT_2", "QELSCS_EXT_3"};
#define QEL_NAME(name) expected.insert(#name "@@Version_5.0");
  SCS_FUNCTION_TABLE(QEL_NAME)
#undef QEL_NAME
  ASSERT_EQ(81u, expected.size());
#define QEL_NAME(name) expected.insert(#name "@@QELSCS_EXT_1");
  SCS_EXTENSION_FUNCTIONS_1(QEL_NAME)
#undef QEL_NAME
#define QEL_NAME(name) expected.insert(#name "@@QELSCS_EXT_2");
  SCS_EXTENSION_FUNCTIONS_2(QEL_NAME)
#undef QEL_NAME
#define QEL_NAME(name) expected.insert(#name "@@QELSCS_EXT_3");
  SCS_EXTENSION_FUNCTIONS_3(QEL_NAME)
#undef QEL_NAME
  std::set<std::string> all;  // SCS_EXTENSION_FUNCTIONS is every round
#define QEL_NAME(name) all.insert(#name);
  SCS_EXTENSION_FUNCTIONS(QEL_NAME)
#undef QEL_NAME
  EXPECT_EQ(10u, all.size());
  const std::string lib = library_path();
  ASSERT_NE(std::string::npos, lib.find("/libqelSessionConfigSvcs5.so")) << lib;
  EXPECT_EQ(expected,
            words(qeltest::shell_output("nm -D --defined-only " + lib + " | awk '{print $3}'")));
  const std::string dynamic = qeltest::shell_output("readelf -d " + lib);
  EXPECT_NE(std::string::npos, dynamic.find("Library soname: [libqelSessionConfigSvcs5.so]"));
  EXPECT_EQ(std::string::npos, dynamic.find("RPATH"));
  EXPECT_EQ(std::string::npos, dynamic.find("RUNPATH"));
  // Every dependency resolves inside the system's library folders.
  const std::string resolved = qeltest::shell_output("ldd " + lib + " | awk '/=>/ {print $3}'");
  for (const std::string& path : words(resolved)) {
    EXPECT_TRUE(path.rfind("/lib/", 0) == 0 || path.rfind("/usr/lib/", 0) == 0) << path;
  }
}

TEST(ScsLibrary, UnsupportedFunctionsSaySo) {
  int count = 0;
#define QEL_CALL(name) \
  EXPECT_EQ(SCS_STATUS_NOT_SUPPORTED, name()) << #name; \
  ++count;
  SCS_UNSUPPORTED_FUNCTIONS(QEL_CALL)
#undef QEL_CALL
  EXPECT_EQ(61, count);
  char text[128];
  ASSERT_EQ(0u, SCS_GetErrorMsg(SCS_STATUS_NOT_SUPPORTED, text, sizeof text));
  EXPECT_STREQ("The HTTP service library does not support this function.", text);
}

TEST(ScsLibrary, ErrorTextsCoverEveryOwnStatus) {
  char text[512];
  for (std::uint32_t code = 0xC7210100u; code <= 0xC7210116u; ++code) {
    EXPECT_EQ(0u, SCS_SERVER_GetErrorMsg(code, text, sizeof text)) << std::hex << code;
    EXPECT_GT(std::string(text).size(), 20u);
  }
  EXPECT_EQ(0xC7210114u, SCS_GetErrorMsg(0xC7210042u, text, sizeof text));
  EXPECT_STREQ("", text);
  char small[8];
  EXPECT_EQ(0xC7210116u, SCS_GetErrorMsg(SCS_STATUS_NOT_SUPPORTED, small, sizeof small));
  EXPECT_STREQ("The HTT", small);
  EXPECT_EQ(0xC7210101u, SCS_GetErrorMsg(SCS_STATUS_NOT_SUPPORTED, nullptr, 10));
  EXPECT_EQ(0xC7210101u, SCS_GetErrorMsg(SCS_STATUS_NOT_SUPPORTED, small, 1));
}

// Log lines name the exported function they come from.
TEST_F(ScsTest, InitLogsItsLineUnderItsOwnName) {
  const auto ready = logged("HTTP service library ready for agent test-agent");
  ASSERT_EQ(ready.size(), 1u);
  EXPECT_NE(ready[0].find(" SCS_SERVER_Init: "), std::string::npos) << ready[0];
}
