// The HTTP service library's function table: placeholders before a load, a load
// that fails and is retried, resolution, and the one-time load.
#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "mslLoader/mslLoader.h"
#include "mslLoader/mslLoader_qelSessionConfigSvcs.h"
#include "qelStatusCodes.h"
#include "test_support.h"
#include "tests/support/fresh_process.h"

namespace {

using qeltest::LogRecorder;
using qeltest::temp_dir;
namespace status = qel::status;

constexpr char kLib[] = "libqelSessionConfigSvcs5.so";

QEL_FRESH_PROCESS_TEST(ScsTable, PlaceholdersBeforeAnyLoad) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(g_qelSessionConfigSvcs.SCS_SERVER_Init("5.0", "uuid", "name", nullptr),
            status::SCS_NOT_LOADED);
  EXPECT_EQ(g_qelSessionConfigSvcs.SCS_HttpHeadersCopy(), status::SCS_NOT_LOADED);
  EXPECT_EQ(g_qelSessionConfigSvcs.SCS_Allocate(16), nullptr);
  g_qelSessionConfigSvcs.SCS_Free(nullptr);
  g_qelSessionConfigSvcs.SCS_SetMSLLibPath("/x");
  std::string out = testing::internal::GetCapturedStdout();
  const char* tail = ":  Unable to invoke function.  Make sure Management Services Library is "
                     "successfully loaded.\n";
  EXPECT_EQ(out, std::string("SCS_SERVER_Init") + tail + "SCS_HttpHeadersCopy" + tail +
                     "SCS_Allocate" + tail + "SCS_Free" + tail + "SCS_SetMSLLibPath" + tail);
  EXPECT_EQ(QelSessionConfigSvcsLoadCount(), 0);
}

QEL_FRESH_PROCESS_TEST(ScsTable, FailedLoadIsRetriedAndSecondLoadOnlyCounts) {
  LogRecorder log;
  SetLoaderLogSink(log.sink());
  temp_dir dir;
  SetMSLLoaderLibPath(dir.path().c_str());
  std::string lib = dir.file(kLib);
  qeltest::copy_file(QEL_FAKE_SCS_A, lib);
  EXPECT_EQ(LoadQelSessionConfigSvcs(kLib), status::LOADER_SIG_MISSING);
  EXPECT_EQ(QelSessionConfigSvcsLoadCount(), 0);
  EXPECT_TRUE(log.Has(MSL_LOG_ERROR, "LoadServiceLibrary() returned an error: " +
                                         qeltest::Text(status::LOADER_SIG_MISSING)));
  EXPECT_TRUE(log.Has(MSL_LOG_ENTRY, "Entered function"));
  testing::internal::CaptureStdout();
  EXPECT_EQ(g_qelSessionConfigSvcs.SCS_SERVER_ShutDown(), status::SCS_NOT_LOADED);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("SCS_SERVER_ShutDown:  Unable"),
            std::string::npos);

  qeltest::SignDetached(lib, lib + ".sig");
  ASSERT_EQ(LoadQelSessionConfigSvcs(kLib), 0u) << log.Dump();
  EXPECT_EQ(QelSessionConfigSvcsLoadCount(), 1);
  EXPECT_EQ(g_qelSessionConfigSvcs.SCS_SERVER_Init("5.0", "u", "n", nullptr), 0x1001u);
  EXPECT_EQ(g_qelSessionConfigSvcs.SCS_HttpHeadersCopy(), SCS_STATUS_NOT_SUPPORTED);

  // The second load touches nothing: the file may be gone.
  ASSERT_EQ(::unlink(lib.c_str()), 0);
  LogRecorder secondLog;
  SetLoaderLogSink(secondLog.sink());
  EXPECT_EQ(LoadQelSessionConfigSvcs(kLib), 0u);
  EXPECT_EQ(QelSessionConfigSvcsLoadCount(), 2);
  EXPECT_FALSE(secondLog.HasText("Full library to load"));
}

// Reads the loaded fake library's record of what the loader told it; the library
// is found through the module that holds the table's SCS_Allocate.
std::string FakeRecord(const char* marker) {
  Dl_info info;
  if (::dladdr(reinterpret_cast<void*>(g_qelSessionConfigSvcs.SCS_Allocate), &info) == 0) {
    return "<no module>";
  }
  void* module = ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  if (module == nullptr) return "<not loaded>";
  void* fn = ::dlsym(module, marker);
  std::string record = fn == nullptr ? "<no marker>" : reinterpret_cast<const char* (*)()>(fn)();
  ::dlclose(module);
  return record;
}

// The extension reaches the library only when one was configured.
TEST(ScsTable, TellsTheLibraryItsDirectoryAndExtension) {
  for (const std::string extension : {".qsig", ""}) {
    SCOPED_TRACE("extension '" + extension + "'");
    qeltest::run_in_fresh_process([&extension] {
      temp_dir dir;
      std::string lib = dir.file(kLib);
      qeltest::copy_file(QEL_FAKE_SCS_A, lib);
      if (extension.empty()) {
        qeltest::SignEmbedded(lib);
      } else {
        qeltest::SignDetached(lib, lib + extension);
        SetMSLLoaderExtSigFileExtension(extension.c_str());
      }
      SetMSLLoaderLibPath(dir.path().c_str());
      ASSERT_EQ(LoadQelSessionConfigSvcs(kLib), 0u);
      EXPECT_EQ(FakeRecord("FakeScs_LibPath"), dir.path() + "/");
      EXPECT_EQ(FakeRecord("FakeScs_Extension"), extension.empty() ? "<never called>" : extension);
    });
  }
}

QEL_FRESH_PROCESS_TEST(ScsTable, ConcurrentLoadsLoadOnce) {
  SetLoaderLogSink(nullptr);
  temp_dir dir;
  std::string lib = dir.file(kLib);
  qeltest::copy_file(QEL_FAKE_SCS_B, lib);
  qeltest::SignEmbedded(lib);
  SetMSLLoaderLibPath(dir.path().c_str());
  uint32_t results[4] = {1, 1, 1, 1};
  std::vector<std::thread> threads;
  for (uint32_t& result : results) {
    threads.emplace_back([&result] { result = LoadQelSessionConfigSvcs(kLib); });
  }
  for (std::thread& thread : threads) thread.join();
  for (uint32_t result : results) EXPECT_EQ(result, 0u);
  EXPECT_EQ(QelSessionConfigSvcsLoadCount(), 4);
  EXPECT_EQ(g_qelSessionConfigSvcs.SCS_SERVER_Init("5.0", "u", "n", nullptr), 0x1002u);
}

QEL_FRESH_PROCESS_TEST(ScsTable, ResolutionFailureKeepsResolvedEntriesAndRetries) {
  LogRecorder log;
  SetLoaderLogSink(log.sink());
  temp_dir dir;
  std::string lib = dir.file(kLib);
  qeltest::copy_file(QEL_FAKE_SCS_PARTIAL, lib);
  qeltest::SignEmbedded(lib);
  SetMSLLoaderLibPath(dir.path().c_str());
  EXPECT_EQ(LoadQelSessionConfigSvcs(kLib), status::LOADER_SYMBOL_NOT_FOUND);
  EXPECT_EQ(QelSessionConfigSvcsLoadCount(), 0);
  EXPECT_TRUE(log.Has(MSL_LOG_ERROR, "Error mapping symbol:  'SCS_HttpHeadersCopy'"));
  EXPECT_EQ(g_qelSessionConfigSvcs.SCS_HttpHeadersCopy, nullptr);
  EXPECT_EQ(g_qelSessionConfigSvcs.SCS_SERVER_Init("5.0", "u", "n", nullptr), 0x1003u);

  qeltest::copy_file(QEL_FAKE_SCS_B, lib);
  qeltest::SignEmbedded(lib);
  ASSERT_EQ(LoadQelSessionConfigSvcs(kLib), 0u) << log.Dump();
  EXPECT_EQ(QelSessionConfigSvcsLoadCount(), 1);
  EXPECT_EQ(g_qelSessionConfigSvcs.SCS_SERVER_Init("5.0", "u", "n", nullptr), 0x1002u);
  EXPECT_EQ(g_qelSessionConfigSvcs.SCS_HttpHeadersCopy(), SCS_STATUS_NOT_SUPPORTED);
}

QEL_FRESH_PROCESS_TEST(ScsTable, LoadsTheServiceLibraryTheBuildSigned) {
#ifndef QEL_REAL_SCS
  GTEST_SKIP() << "this build does not sign the service library with its own key";
#else
  std::string real = QEL_REAL_SCS;
  LogRecorder log;
  SetLoaderLogSink(log.sink());
  SetMSLLoaderLibPath(real.substr(0, real.rfind('/')).c_str());
  ASSERT_EQ(LoadQelSessionConfigSvcs(real.substr(real.rfind('/') + 1).c_str()), 0u) << log.Dump();
  EXPECT_EQ(QelSessionConfigSvcsLoadCount(), 1);
  // The build embeds its signature: the first attempt succeeds and nothing is an error.
  for (const qeltest::LogEntry& entry : log.entries())
    EXPECT_NE(entry.level, static_cast<uint32_t>(MSL_LOG_ERROR)) << log.Dump();
  EXPECT_FALSE(log.HasText("Second attempt")) << log.Dump();
  EXPECT_NE(access((real + ".sig").c_str(), F_OK), 0) << "a stale detached signature";
#endif
}

}  // namespace
