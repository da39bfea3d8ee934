// The service library loader: settings, the order and levels of its log lines, the
// verification attempts, and that only verified bytes are ever loaded.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "mslLoader/mslLoader.h"
#include "mslLoader/qelEmbeddedSignature.h"
#include "qelStatusCodes.h"
#include "test_support.h"
#include "tests/support/fresh_process.h"

namespace {

using qeltest::LogRecorder;
using qeltest::temp_dir;
namespace status = qel::status;

using VariantFn = int (*)();

int LoadedVariant(LibHandle* handle) {
  void* symbol = nullptr;
  if (LookupSymbol(handle, &symbol, "FakeScs_Variant") != 0) return -1;
  return reinterpret_cast<VariantFn>(symbol)();
}

class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLoaderLogSink(log.sink());
    SetMSLLoaderLibPath("");
    cInitLibHandle(&handle);
    lib = dir.file("libfake.so");
    qeltest::copy_file(QEL_FAKE_SCS_A, lib);
  }
  // Index of the first line at `level` containing `text`; fails the test when absent.
  int Line(uint32_t level, const std::string& text) {
    int index = log.Find(level, text);
    EXPECT_GE(index, 0) << "missing log line '" << text << "' in\n" << log.Dump();
    return index;
  }
  LogRecorder log;
  temp_dir dir;
  std::string lib;
  LibHandle handle;
};

QEL_FRESH_PROCESS_TEST_F(LoaderTest, LibraryPathGetsOneTrailingSlash) {
  SetMSLLoaderLibPath("/opt/qel/lib");
  EXPECT_STREQ(g_LoaderLibPath, "/opt/qel/lib/");
  EXPECT_TRUE(log.Has(MSL_LOG_INFO, "g_LoaderLibPath set to: '/opt/qel/lib/'"));
  SetMSLLoaderLibPath("/opt/qel/lib/");
  EXPECT_STREQ(g_LoaderLibPath, "/opt/qel/lib/");
  SetMSLLoaderLibPath("");
  EXPECT_STREQ(g_LoaderLibPath, "");
  SetMSLLoaderLibPath(std::string(5000, 'd').c_str());  // cannot be stored whole
  EXPECT_STREQ(g_LoaderLibPath, "");
  // Only wanted levels reach the sink.
  LogRecorder quiet(MSL_LOG_ERROR);
  SetLoaderLogSink(quiet.sink());
  SetMSLLoaderLibPath("/x");
  EXPECT_TRUE(quiet.entries().empty());
}

QEL_FRESH_PROCESS_TEST_F(LoaderTest, LoadsEmbeddedSignatureWithLinesInOrder) {
  qeltest::SignEmbedded(lib);
  SetMSLLoaderLibPath(dir.path().c_str());
  ASSERT_EQ(LoadServiceLibrary("libfake.so", &handle), 0u) << log.Dump();
  EXPECT_EQ(LoadedVariant(&handle), 1);
  int full = Line(MSL_LOG_INFO, "Full library to load: " + lib);
  int cwd = Line(MSL_LOG_INFO, "Current working directory = '");
  int about = Line(MSL_LOG_INFO, "About to verify signature: filename='" + lib +
                                     "', externalFileSigPath=NULL, sig=DEFAULT");
  int verified = Line(MSL_LOG_INFO, "Successfully verified signature.");
  int load = Line(MSL_LOG_ENTRY, "About to load library:  '" + lib + "'");
  int loaded = Line(MSL_LOG_INFO, "Successfully loaded library:  '" + lib + "'");
  EXPECT_TRUE(full < cwd && cwd < about && about < verified && verified < load && load < loaded)
      << log.Dump();
  EXPECT_FALSE(log.HasText("Second attempt"));
  EXPECT_EQ(log.entries()[load].function, "LoadServiceLibrary");
}

QEL_FRESH_PROCESS_TEST_F(LoaderTest, SecondAttemptUsesDefaultSignatureFile) {
  qeltest::SignDetached(lib, lib + ".sig");
  SetMSLLoaderLibPath(dir.path().c_str());
  ASSERT_EQ(LoadServiceLibrary("libfake.so", &handle), 0u) << log.Dump();
  int failed = Line(MSL_LOG_ERROR,
                    "Failed to verify signature for filename='" + lib +
                        "', without external signature file (externalFileSigPath='NULL') with "
                        "sig=DEFAULT, errMsg=" + qeltest::Text(status::LOADER_SIG_MISSING));
  int second = Line(MSL_LOG_INFO, "Second attempt to verify signature for filename='" + lib +
                                      "', now using default external file signature='" + lib +
                                      ".sig' with sig=DEFAULT");
  int verified = Line(MSL_LOG_INFO, "Successfully verified signature.");
  EXPECT_TRUE(failed < second && second < verified);
  // The catalog is open: the failure names its cause, not only the status number.
  EXPECT_NE(qeltest::Text(status::LOADER_SIG_MISSING).find("carries no signature"),
            std::string::npos);
}

QEL_FRESH_PROCESS_TEST_F(LoaderTest, ConfiguredExtensionIsTheOnlyAttempt) {
  qeltest::SignDetached(lib, lib + ".sig");
  SetMSLLoaderExtSigFileExtension(".qsig");
  EXPECT_TRUE(GetExternalFileSigExtSet());
  EXPECT_TRUE(log.Has(MSL_LOG_INFO, "sigFileExt set to: '.qsig', g_bExternalFileSigExtSet:  'TRUE'"));
  EXPECT_EQ(LoadServiceLibrary(lib.c_str(), &handle), status::LOADER_SIG_MISSING);
  Line(MSL_LOG_INFO, "External signature file = '" + lib + ".qsig'");
  Line(MSL_LOG_ERROR, "with external signature file:  externalFileSigPath='" + lib + ".qsig'");
  EXPECT_FALSE(log.HasText("Second attempt"));
  EXPECT_EQ(handle.handle, nullptr);
  qeltest::SignDetached(lib, lib + ".qsig");
  EXPECT_EQ(LoadServiceLibrary(lib.c_str(), &handle), 0u) << log.Dump();
  // An empty extension clears the text but keeps the flag.
  SetMSLLoaderExtSigFileExtension("");
  EXPECT_TRUE(GetExternalFileSigExtSet());
  EXPECT_TRUE(log.Has(MSL_LOG_INFO, "sigFileExt set to: '', g_bExternalFileSigExtSet:  'TRUE'"));
}

QEL_FRESH_PROCESS_TEST_F(LoaderTest, PathInNameWarnsAndStillUsesDirectory) {
  ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0755), 0);
  std::string nested = dir.file("sub/libfake.so");
  qeltest::copy_file(QEL_FAKE_SCS_B, nested);
  qeltest::SignEmbedded(nested);
  SetMSLLoaderLibPath(dir.path().c_str());
  ASSERT_EQ(LoadServiceLibrary("sub/libfake.so", &handle), 0u) << log.Dump();
  EXPECT_EQ(LoadedVariant(&handle), 2);
  Line(MSL_LOG_WARNING, "'library' argument contains file path, though SetMSLLoaderLibPath() was "
                        "previously called.  You should probably omit the path and use just the "
                        "libary name during loading.");
  Line(MSL_LOG_INFO, "Full library to load: " + nested);
}

QEL_FRESH_PROCESS_TEST_F(LoaderTest, RefusedLibraryIsNeverLoaded) {
  qeltest::SignDetached(lib, lib + ".sig");
  std::string bytes = qeltest::read_file(lib);
  bytes[100] ^= 0x20;
  qeltest::write_file(lib, bytes);
  EXPECT_EQ(LoadServiceLibrary(lib.c_str(), &handle), status::LOADER_SIG_BAD);
  EXPECT_EQ(handle.handle, nullptr);
  Line(MSL_LOG_ERROR, "errMsg=" + qeltest::Text(status::LOADER_SIG_BAD));
  EXPECT_FALSE(log.HasText("About to load library"));
  // Nothing verified under this name: the loader does not fall back to the file.
  EXPECT_EQ(cLibLoadLibrary(lib.c_str(), &handle), status::LOADER_NOT_VERIFIED);
  EXPECT_EQ(handle.handle, nullptr);
}

// A refusal of the signature and one of the file (the verifier's tests cover every
// cause): each reaches the log and the host as itself.
QEL_FRESH_PROCESS_TEST_F(LoaderTest, EachRefusalIsLoggedWithItsCause) {
  struct Case {
    const char* what;
    uint32_t status;
    std::function<void(const std::string&)> prepare;
  };
  std::vector<Case> cases = {
      {"untrusted key", status::LOADER_SIG_UNTRUSTED_KEY,
       [&](const std::string& file) {
         qeltest::MakeUntrustedKey(dir.file("u.pub"), dir.file("u.key"));
         qeltest::SignEmbedded(file, dir.file("u.key"));
       }},
      {"symlink", status::LOADER_FILE_IS_SYMLINK,
       [&](const std::string& file) {
         std::string target = file + ".real";
         qeltest::copy_file(file, target);
         qeltest::SignEmbedded(target);
         ::unlink(file.c_str());
         ASSERT_EQ(::symlink(target.c_str(), file.c_str()), 0);
       }},
  };
  for (const Case& c : cases) {
    qeltest::copy_file(QEL_FAKE_SCS_A, lib);
    c.prepare(lib);
    // The embedded attempt fails with the cause; the ".sig" attempt finds no file, so
    // the host is told the cause, not "missing".
    EXPECT_EQ(LoadServiceLibrary(lib.c_str(), &handle), c.status) << c.what << "\n" << log.Dump();
    EXPECT_TRUE(log.Has(MSL_LOG_ERROR, "externalFileSigPath='NULL') with sig=DEFAULT, errMsg=" +
                                           qeltest::Text(c.status)))
        << c.what << "\n" << log.Dump();
    EXPECT_EQ(handle.handle, nullptr) << c.what;
    ::unlink(lib.c_str());
  }
}

QEL_FRESH_PROCESS_TEST_F(LoaderTest, LoadsTheVerifiedBytesEvenWhenTheFileChangesAfterwards) {
  qeltest::SignEmbedded(lib);
  ASSERT_EQ(ValidateFileSig(lib.c_str()), 0u);
  // Overwritten in place, then replaced by rename: neither reaches the loader.
  qeltest::copy_file(QEL_FAKE_SCS_B, lib);
  std::string replacement = dir.file("replacement.so");
  qeltest::copy_file(QEL_FAKE_SCS_B, replacement);
  ASSERT_EQ(::rename(replacement.c_str(), lib.c_str()), 0);
  ASSERT_EQ(cLibLoadLibrary(lib.c_str(), &handle), 0u);
  EXPECT_EQ(LoadedVariant(&handle), 1);
  // The image is handed over once, to the name it was verified under.
  LibHandle again;
  cInitLibHandle(&again);
  EXPECT_EQ(cLibLoadLibrary(lib.c_str(), &again), status::LOADER_NOT_VERIFIED);
}

// Another thread verifies a second library while a load sits between its own
// verification and the load of the verified bytes. It must wait for the load:
// otherwise it replaces the verified copy and the load finds none.
struct InterleavedVerification {
  std::string other;
  std::atomic<bool> started{false};
  std::thread worker;
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  uint32_t otherResult = 1;

  static void Log(uintptr_t context, uint32_t, const char* message, const char*) {
    auto* self = reinterpret_cast<InterleavedVerification*>(context);
    if (std::string(message) != "Successfully verified signature." || self->started.exchange(true))
      return;
    self->worker = std::thread([self] {
      uint32_t rc = ValidateFileSig(self->other.c_str());
      std::lock_guard<std::mutex> hold(self->mutex);
      self->otherResult = rc;
      self->finished = true;
      self->done.notify_all();
    });
    // Gives the other thread every chance to run; with the lock held it cannot.
    std::unique_lock<std::mutex> hold(self->mutex);
    self->done.wait_for(hold, std::chrono::milliseconds(300), [self] { return self->finished; });
  }
};

QEL_FRESH_PROCESS_TEST_F(LoaderTest, VerificationByAnotherThreadWaitsForTheLoad) {
  qeltest::SignEmbedded(lib);
  InterleavedVerification state;
  state.other = dir.file("libother.so");
  qeltest::copy_file(QEL_FAKE_SCS_B, state.other);
  qeltest::SignEmbedded(state.other);
  const mslLogSink sink = {reinterpret_cast<uintptr_t>(&state), MSL_LOG_INFO,
                           &InterleavedVerification::Log};
  SetLoaderLogSink(&sink);
  const uint32_t rc = LoadServiceLibrary(lib.c_str(), &handle);
  ASSERT_TRUE(state.worker.joinable());
  state.worker.join();
  SetLoaderLogSink(log.sink());
  EXPECT_EQ(rc, 0u);
  EXPECT_EQ(state.otherResult, 0u);
  EXPECT_EQ(LoadedVariant(&handle), 1);
  // The other thread's verified copy is still there for its own load.
  LibHandle other;
  cInitLibHandle(&other);
  ASSERT_EQ(cLibLoadLibrary(state.other.c_str(), &other), 0u);
  EXPECT_EQ(LoadedVariant(&other), 2);
}

QEL_FRESH_PROCESS_TEST_F(LoaderTest, AcceptsMinisignSignatureByTrustedKey) {
  if (std::string(QEL_MINISIGN_TOOL).empty()) GTEST_SKIP() << "minisign is not installed";
  std::string output;
  ASSERT_EQ(qeltest::run_program({QEL_MINISIGN_TOOL, "-S", "-s", QEL_TEST_SECRET_KEY, "-m", lib, "-x",
                          lib + ".sig"}, &output), 0) << output;
  ASSERT_EQ(LoadServiceLibrary(lib.c_str(), &handle), 0u) << log.Dump();
  EXPECT_EQ(LoadedVariant(&handle), 1);
}

QEL_FRESH_PROCESS_TEST_F(LoaderTest, LookupAndArgumentErrors) {
  void* symbol = &handle;
  EXPECT_EQ(LookupSymbol(&handle, &symbol, "FakeScs_Variant"), status::LOADER_NOT_LOADED);
  EXPECT_EQ(symbol, nullptr);
  qeltest::SignEmbedded(lib);
  ASSERT_EQ(LoadServiceLibrary(lib.c_str(), &handle), 0u);
  EXPECT_EQ(LookupSymbol(&handle, &symbol, "SCS_NoSuchFunction"), status::LOADER_SYMBOL_NOT_FOUND);
  EXPECT_EQ(symbol, nullptr);
  EXPECT_EQ(handle.lastError, status::LOADER_SYMBOL_NOT_FOUND);
  Line(MSL_LOG_ENTRY, "About to map symbol:  'SCS_NoSuchFunction'");
  Line(MSL_LOG_ERROR, "Error mapping symbol:  'SCS_NoSuchFunction'");
  EXPECT_EQ(LookupSymbol(&handle, &symbol, nullptr), 0xC7210003u);
  EXPECT_EQ(LookupSymbol(&handle, &symbol, ""), 0xC7210003u);
  Line(MSL_LOG_ERROR, "'symbol' argument is NULL");
  EXPECT_EQ(LoadServiceLibrary(nullptr, &handle), 0xC7210003u);
  EXPECT_EQ(LoadServiceLibrary("", &handle), 0xC7210003u);
  Line(MSL_LOG_ERROR, "'library' argument is NULL");
  EXPECT_EQ(LoadServiceLibrary("libfake.so", nullptr), 0xC7210003u);
  Line(MSL_LOG_ERROR, "'phLibHandle' argument is NULL");
  EXPECT_EQ(ValidateFileSig(nullptr), 0xC7210003u);
  Line(MSL_LOG_ERROR, "'filename' argument is NULL");
}

}  // namespace
