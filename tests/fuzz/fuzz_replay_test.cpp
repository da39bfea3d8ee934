// Replays every committed input of each fuzz target through the target's own code:
// the seed corpus (fuzz/corpus/<target>/) and the inputs of past findings
// (fuzz/regressions/<target>/). A target aborts on any broken promise, which fails
// its test case (each runs in a process of its own).
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_inputs.h"

#define QEL_FUZZ_TARGETS(X)                                           \
  X(cml_parser_fuzzer) X(listener_settings_fuzzer) X(minisign_fuzzer) \
  X(tunnel_headers_fuzzer) X(tunnel_settings_fuzzer) X(links_text_fuzzer) X(http_request_fuzzer) \
  X(header_block_fuzzer)

#define QEL_DECLARE_TARGET(name)                                               \
  extern "C" int qel_##name##_one(const std::uint8_t* data, std::size_t size); \
  extern "C" int qel_##name##_init(int* argc, char*** argv) __attribute__((weak));
QEL_FUZZ_TARGETS(QEL_DECLARE_TARGET)
#undef QEL_DECLARE_TARGET

namespace {

namespace fs = std::filesystem;
using one_input = int (*)(const std::uint8_t*, std::size_t);
using initialize = int (*)(int*, char***);

std::vector<fs::path> committed_inputs(const std::string& target) {
  const fs::path fuzz = fuzz_folder();
  std::vector<fs::path> files;
  for (const char* kind : {"corpus", "regressions"}) {
    const fs::path dir = fuzz / kind / target;
    if (!fs::is_directory(dir)) continue;
    for (const auto& entry : fs::directory_iterator(dir)) files.push_back(entry.path());
  }
  return files;
}

void replay(const std::string& target, one_input run, initialize init) {
  if (init != nullptr) {
    ASSERT_EQ(init(nullptr, nullptr), 0);
  }
  const std::vector<fs::path> files = committed_inputs(target);
  ASSERT_GE(files.size(), 3u) << "fuzz/corpus/" << target << " holds too few seeds";
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    ASSERT_TRUE(in) << file;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    SCOPED_TRACE(file.string());
    EXPECT_EQ(run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
  }
}

}  // namespace

#define QEL_REPLAY_TEST(name) \
  TEST(FuzzReplay, name) { replay(#name, &qel_##name##_one, &qel_##name##_init); }
QEL_FUZZ_TARGETS(QEL_REPLAY_TEST)
#undef QEL_REPLAY_TEST
