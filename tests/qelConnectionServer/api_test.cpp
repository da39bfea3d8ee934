// The exported interface, through the built shared library only.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <string>

#include "qelConnectionServer.h"

namespace {

std::string run(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  pclose(pipe);
  return out;
}

std::string library_path() { return std::string(std::getenv("QEL_BUILD_DIR")) + "/lib/libqelConnectionServer5.so"; }

}  // namespace

TEST(ExportedInterface, OnlyTheFifteenFunctionsAreExportedUnderVersion5) {
  const std::string listing = run("nm -D --defined-only " + library_path());
  ASSERT_FALSE(listing.empty());
  std::set<std::string> exported;
  std::istringstream lines(listing);
  std::string address, kind, name;
  while (lines >> address >> kind >> name) {
    if (kind == "A" && name == "Version_5.0") continue;  // the version node itself
    exported.insert(name);
  }
  const std::set<std::string> expected = {
      "CS_Allocate@@Version_5.0", "CS_Free@@Version_5.0", "CS_GetErrorMsg@@Version_5.0",
      "CS_Init@@Version_5.0", "CS_LoadCommSettingsFile@@Version_5.0",
      "CS_LoadListenerSettingsFile@@Version_5.0", "CS_LoadLocalSettingsFile@@Version_5.0",
      "CS_RegisterAuthenticationCallback@@Version_5.0", "CS_RegisterErrorCallback@@Version_5.0",
      "CS_ResetToPrimaryController@@Version_5.0", "CS_SetLanguage@@Version_5.0",
      "CS_SetMSLExtSigFileExtension@@Version_5.0", "CS_SetMSLLibPath@@Version_5.0",
      "CS_ShutDown@@Version_5.0", "SetReverseConnection@@Version_5.0"};
  EXPECT_EQ(exported, expected);
  EXPECT_NE(run("readelf -d " + library_path()).find("[libqelConnectionServer5.so]"), std::string::npos);
}

TEST(ExportedInterface, StubsReturnOneAndShutDownReturnsZero) {
  EXPECT_EQ(CS_RegisterErrorCallback(), 1u);
  EXPECT_EQ(CS_RegisterAuthenticationCallback(), 1u);
  EXPECT_EQ(CS_LoadLocalSettingsFile(), 1u);
  EXPECT_EQ(CS_LoadCommSettingsFile(), 1u);
  EXPECT_EQ(CS_LoadListenerSettingsFile(), 1u);
  EXPECT_EQ(CS_ResetToPrimaryController(), 1u);
  EXPECT_EQ(CS_SetLanguage(), 1u);
  EXPECT_EQ(CS_ShutDown(), 0u);
  EXPECT_EQ(CS_ShutDown(), 0u);
}

TEST(ExportedInterface, BadArgumentsGiveStatusesNotCrashes) {
  const mslLogSink* none = nullptr;
  EXPECT_EQ(CS_Init(nullptr, "", "", "", "", "", "", "", "", none), CS_STATUS_GENERAL_FAILURE);
  EXPECT_EQ(CS_Init("v", "", "", "", "", "", "", "", nullptr, none), CS_STATUS_GENERAL_FAILURE);
  EXPECT_EQ(SetReverseConnection(1), 0xC7210060u);  // no server yet
  EXPECT_EQ(SetReverseConnection(0), 0xC7210060u);

  char buffer[64];
  EXPECT_EQ(CS_GetErrorMsg(CS_STATUS_GENERAL_FAILURE, nullptr, 64), CS_STATUS_INVALID_ARGUMENT);
  EXPECT_EQ(CS_GetErrorMsg(CS_STATUS_GENERAL_FAILURE, buffer, 1), CS_STATUS_INVALID_ARGUMENT);
  CS_SetMSLLibPath(nullptr);
  CS_SetMSLExtSigFileExtension(nullptr);
}

TEST(ExportedInterface, EveryCoreStatusHasAText) {
  for (uint32_t code : {0x47210047u, 0xC7210060u, 0xC7210061u, 0xC7210062u, 0xC7210063u, 0xC7210064u}) {
    char buffer[512] = {};
    EXPECT_EQ(CS_GetErrorMsg(code, buffer, sizeof buffer), 0u) << std::hex << code;
    EXPECT_GT(std::strlen(buffer), 10u) << std::hex << code;
  }
}

TEST(ExportedInterface, AllocateGivesWritableBlocksOrNull) {
  for (uint32_t size : {0u, 1u, 4096u}) {
    void* block = CS_Allocate(size);
    ASSERT_NE(block, nullptr) << size;
    std::memset(block, 0xAB, size);
    CS_Free(block);
  }
  CS_Free(nullptr);
  void* huge = CS_Allocate(0xFFFFFFFFu);  // may succeed or fail, never throws
  CS_Free(huge);
}

TEST(ExportedInterface, MalformedLinksAreRefusedBeforeAnythingIsBuilt) {
  EXPECT_EQ(CS_Init("v", "port = 0", "", "", "u", "n", "ns", "d", "<open>", nullptr), 0xC7210062u);
  EXPECT_EQ(SetReverseConnection(1), 0xC7210060u);
}

// Without a loadable service library CS_Init fails with the loader's status and
// leaves no server behind.
TEST(ExportedInterface, InitWithoutAServiceLibraryFailsAndBuildsNothing) {
  CS_SetMSLLibPath("/nonexistent-folder-for-this-test");
  const uint32_t rc = CS_Init("v", "port = 0", "", "", "u", "n", "ns", "d", "links", nullptr);
  EXPECT_NE(rc, 0u);
  EXPECT_EQ(rc & 0xFFF0000u, 0x7210000u) << std::hex << rc;
  EXPECT_EQ(SetReverseConnection(1), 0xC7210060u);
}
