// The loader's error boundary: a host log function that throws costs its messages and
// nothing else; no exception reaches the host.
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "mslLoader/mslLoader.h"
#include "qelStatusCodes.h"
#include "test_support.h"
#include "tests/support/files.h"
#include "tests/support/fresh_process.h"

namespace {

int g_calls = 0;

void ThrowingLog(uintptr_t, uint32_t, const char*, const char*) {
  ++g_calls;
  throw std::runtime_error("host log failed");
}

QEL_FRESH_PROCESS_TEST(LoaderBoundaryTest, HostLogFunctionThatThrowsChangesNothing) {
  static const mslLogSink throwing{0, 0xFFFFFFFFu, &ThrowingLog};
  SetLoaderLogSink(&throwing);
  qeltest::temp_dir dir;
  const std::string unsigned_lib = dir.file("libunsigned.so");
  const std::string signed_lib = dir.file("libsigned.so");
  qeltest::copy_file(QEL_FAKE_SCS_A, unsigned_lib);
  qeltest::copy_file(QEL_FAKE_SCS_A, signed_lib);
  qeltest::SignEmbedded(signed_lib);

  LibHandle handle;
  cInitLibHandle(&handle);
  EXPECT_EQ(LoadServiceLibrary(unsigned_lib.c_str(), &handle), qel::status::LOADER_SIG_MISSING);
  EXPECT_EQ(ValidateFileSig(""), qel::status::INVALID_ARGUMENT);
  ASSERT_EQ(LoadServiceLibrary(signed_lib.c_str(), &handle), 0u);
  void* symbol = nullptr;
  ASSERT_EQ(LookupSymbol(&handle, &symbol, "FakeScs_Variant"), 0u);
  EXPECT_EQ(reinterpret_cast<int (*)()>(symbol)(), 1);
  EXPECT_EQ(LookupSymbol(&handle, &symbol, "NoSuchSymbol"), qel::status::LOADER_SYMBOL_NOT_FOUND);
  EXPECT_GT(g_calls, 5);  // the sink was called, and threw, on the way
}

}  // namespace
