// The exported interface, through the built shared library only. The library keeps
// one connection server for the life of the process, so every case that depends on
// that state runs in a process of its own.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "qelConnectionServer.h"
#include "tests/support/child_process.h"
#include "tests/support/fresh_process.h"
#include "tests/support/raw_socket.h"

namespace {

constexpr uint32_t kNotInitialised = 0xC7210060u;
constexpr uint32_t kAlreadyInitialised = 0xC7210061u;
constexpr uint32_t kLinksMalformed = 0xC7210062u;
constexpr uint32_t kLibraryCannotBeOpened = 0xC721014Fu;  // the loader's LOADER_FILE_OPEN_FAILED

std::string library_path() { return QEL_TEST_LIBRARY; }

std::string error_text(uint32_t code) {
  char buffer[512] = {};
  EXPECT_EQ(CS_GetErrorMsg(code, buffer, sizeof buffer), 0u) << std::hex << code;
  return buffer;
}

// Every line the libraries log, kept for the life of the process (CS_Init's rule).
struct log_lines {
  static void record(uintptr_t context, uint32_t, const char* message, const char* function) {
    auto* self = reinterpret_cast<log_lines*>(context);
    std::lock_guard<std::mutex> lock(self->mutex);
    self->lines.push_back(std::string(function) + ": " + message);
  }
  // The port of the endpoint that serves `resource`, from the start-up lines; 0 if none.
  int port_serving(const std::string& resource) {
    std::lock_guard<std::mutex> lock(mutex);
    for (const std::string& line : lines)
      if (line.find(" serves ") != std::string::npos && line.find(resource) != std::string::npos)
        return std::atoi(line.substr(line.rfind(':') + 1).c_str());
    return 0;
  }
  std::mutex mutex;
  std::vector<std::string> lines;
  mslLogSink sink{reinterpret_cast<uintptr_t>(this), 0xFFFFFFFFu, &log_lines::record};
};

// One POST on a new connection; the status line's code and the body ("" and 0 when
// the exchange failed).
std::pair<int, std::string> post(int port, const std::string& resource) {
  const std::string answer = qeltest::raw_exchange(
      port, "POST " + resource +
                " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
  const size_t body = answer.find("\r\n\r\n");
  const int status = qeltest::raw_status(answer);
  if (status == 0 || body == std::string::npos) return {0, ""};
  return {status, answer.substr(body + 4)};
}

uint32_t init(const mslLogSink* sink, const char* links = "<links>api</links>") {
  return CS_Init("5.0.1", "address = 127.0.0.1\nport = 0", "", "", "uuid-api", "api-agent", "ns",
                 "127.0.0.1", links, sink);
}

}  // namespace

TEST(ExportedInterface, TheFifteenFunctionsUnderVersion5AndTheExtensionsUnderTheirOwnNode) {
  const std::string listing = qeltest::shell_output("nm -D --defined-only " + library_path());
  ASSERT_FALSE(listing.empty());
  std::set<std::string> exported;
  std::istringstream lines(listing);
  std::string address, kind, name;
  while (lines >> address >> kind >> name) {
    if (kind == "A" && (name == "Version_5.0" || name == "QELCS_EXT_1")) continue;  // the nodes
    exported.insert(name);
  }
  const std::set<std::string> expected = {
      "CS_Allocate@@Version_5.0", "CS_Free@@Version_5.0", "CS_GetErrorMsg@@Version_5.0",
      "CS_Init@@Version_5.0", "CS_LoadCommSettingsFile@@Version_5.0",
      "CS_LoadListenerSettingsFile@@Version_5.0", "CS_LoadLocalSettingsFile@@Version_5.0",
      "CS_RegisterAuthenticationCallback@@Version_5.0", "CS_RegisterErrorCallback@@Version_5.0",
      "CS_ResetToPrimaryController@@Version_5.0", "CS_SetLanguage@@Version_5.0",
      "CS_SetMSLExtSigFileExtension@@Version_5.0", "CS_SetMSLLibPath@@Version_5.0",
      "CS_ShutDown@@Version_5.0", "SetReverseConnection@@Version_5.0",
      // Extensions: beside the interface's set, never in it.
      "CS_Reload@@QELCS_EXT_1", "CS_Stop@@QELCS_EXT_1"};
  EXPECT_EQ(exported, expected);
  EXPECT_NE(qeltest::shell_output("readelf -d " + library_path()).find("[libqelConnectionServer5.so]"),
            std::string::npos);
}

QEL_FRESH_PROCESS_TEST(ExportedInterface, BadArgumentsGiveStatusesNotCrashes) {
  const mslLogSink* none = nullptr;
  EXPECT_EQ(CS_Init(nullptr, "", "", "", "", "", "", "", "", none), CS_STATUS_GENERAL_FAILURE);
  EXPECT_EQ(CS_Init("v", "", "", "", "", "", "", "", nullptr, none), CS_STATUS_GENERAL_FAILURE);
  EXPECT_EQ(SetReverseConnection(1), kNotInitialised);  // no server yet
  EXPECT_EQ(SetReverseConnection(0), kNotInitialised);
  EXPECT_EQ(CS_Stop(0), kNotInitialised);
  EXPECT_EQ(CS_Reload("", "", ""), kNotInitialised);

  char buffer[64];
  EXPECT_EQ(CS_GetErrorMsg(CS_STATUS_GENERAL_FAILURE, nullptr, 64), CS_STATUS_INVALID_ARGUMENT);
  EXPECT_EQ(CS_GetErrorMsg(CS_STATUS_GENERAL_FAILURE, buffer, 1), CS_STATUS_INVALID_ARGUMENT);
  CS_SetMSLLibPath(nullptr);
  CS_SetMSLExtSigFileExtension(nullptr);
}

// Before any CS_Init and without NLSPATH, every status of the core's table has its
// own text (the catalog beside the library, or the texts compiled in), never a
// placeholder.
QEL_FRESH_PROCESS_TEST(ExportedInterface, EveryCoreStatusHasItsTextBeforeInit) {
  unsetenv("NLSPATH");
  std::ifstream table(QEL_TEST_CORE_STATUS_TABLE);
  int checked = 0;
  for (std::string line; std::getline(table, line);) {
    const size_t code = line.find(", 0x"), open = line.find('"'), close = line.rfind('"');
    if (line.rfind("QEL_STATUS(", 0) != 0 || code == std::string::npos || open == close) continue;
    const auto status = static_cast<uint32_t>(std::stoul(line.substr(code + 2), nullptr, 16));
    EXPECT_EQ(error_text(status).rfind(line.substr(open + 1, close - open - 1) + " [ID=", 0), 0u)
        << line;
    ++checked;
  }
  EXPECT_GE(checked, 8);
}

QEL_FRESH_PROCESS_TEST(ExportedInterface, MalformedLinksAreRefusedBeforeAnythingIsBuilt) {
  EXPECT_EQ(CS_Init("v", "port = 0", "", "", "u", "n", "ns", "d", "<open>", nullptr),
            kLinksMalformed);
  EXPECT_EQ(SetReverseConnection(1), kNotInitialised);
}

// Without a loadable service library CS_Init fails with the loader's own status for
// a file that cannot be opened, whose text names the cause, and leaves no server.
QEL_FRESH_PROCESS_TEST(ExportedInterface, InitWithoutAServiceLibraryFailsAndBuildsNothing) {
  unsetenv("NLSPATH");
  log_lines log;
  CS_SetMSLLibPath("/nonexistent-folder-for-this-test");
  EXPECT_EQ(init(&log.sink), kLibraryCannotBeOpened);
  EXPECT_EQ(error_text(kLibraryCannotBeOpened).rfind("The library file or its signature file could "
                                                     "not be opened. [ID=0xc721014f]", 0), 0u);
  EXPECT_EQ(SetReverseConnection(1), kNotInitialised);
  for (const std::string& line : log.lines)
    EXPECT_EQ(line.find("retrieving message text"), std::string::npos) << line;
}

// The whole life of a host: the first CS_Init serves on the port the system chose;
// a second CS_Init changes nothing; SetReverseConnection(0) and CS_ShutDown return 0
// and the listeners keep serving.
QEL_FRESH_PROCESS_TEST(ExportedInterface, SuccessfulInitServesUntilTheProcessEnds) {
  log_lines log;
  ASSERT_EQ(init(&log.sink), 0u);
  const int port = log.port_serving("/qel/sensor_services/management");
  ASSERT_GT(port, 0);
  auto answer = post(port, "/qel/sensor_services/management");
  EXPECT_EQ(answer.first, 200);
  EXPECT_NE(answer.second.find("<links>api</links>"), std::string::npos) << answer.second;
  for (const std::string& line : log.lines)  // the build embeds the library's signature
    EXPECT_EQ(line.find("Failed to verify"), std::string::npos) << line;

  EXPECT_EQ(init(&log.sink, "<other/>"), kAlreadyInitialised);
  answer = post(port, "/qel/sensor_services/management");
  EXPECT_NE(answer.second.find("<links>api</links>"), std::string::npos)
      << "the first server stays";

  EXPECT_EQ(SetReverseConnection(0), 0u);
  EXPECT_EQ(SetReverseConnection(1), 0u);
  EXPECT_EQ(CS_ShutDown(), 0u);
  EXPECT_EQ(post(port, "/qel/sensor_services/management").first, 200) << "listeners stay open";
  EXPECT_EQ(post(port, "/no/such/resource").first, 404);
}

namespace {

// An installed layout: the library in `library_folder` and a catalog whose text for
// 0xC7210003 is a marker in `catalog_folder`, both under the working folder. The copy
// of the library is loaded with dlopen, told to find no service library (so CS_Init
// fails after the loader opened the catalog) and asked for the text.
void expect_catalog_found(const std::string& library_folder, const std::string& catalog_folder) {
  namespace fs = std::filesystem;
  fs::create_directories(library_folder);
  fs::create_directories(catalog_folder);
  const std::string copy = library_folder + "/libqelConnectionServer5.so";
  fs::copy_file(library_path(), copy);
  std::ofstream("marker.msg") << "$quote \"\n$set 37\n3 \"marker text of this layout\"\n";
  ASSERT_EQ(std::system(("gencat " + catalog_folder + "/qel-MgmtSvcs.cat marker.msg").c_str()), 0);
  unsetenv("NLSPATH");
  void* library = dlopen(fs::absolute(copy).c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto set_path = reinterpret_cast<void (*)(const char*)>(dlsym(library, "CS_SetMSLLibPath"));
  auto cs_init = reinterpret_cast<decltype(&CS_Init)>(dlsym(library, "CS_Init"));
  auto get_text = reinterpret_cast<decltype(&CS_GetErrorMsg)>(dlsym(library, "CS_GetErrorMsg"));
  ASSERT_TRUE(set_path && cs_init && get_text);
  set_path("/nonexistent-folder-for-this-test");
  EXPECT_EQ(cs_init("v", "port = 0", "", "", "u", "n", "ns", "d", "", nullptr),
            kLibraryCannotBeOpened);
  char buffer[256] = {};
  EXPECT_EQ(get_text(0xC7210003u, buffer, sizeof buffer), 0u);
  EXPECT_STREQ(buffer, "marker text of this layout [ID=0xc7210003]")
      << library_folder << " with " << catalog_folder;
}

}  // namespace

// Without NLSPATH, the catalog is found beside the library in each layout an
// installation or a build tree uses (the library's own folder, ../nls, the data
// folder of a plain or a multiarch library folder).
TEST(ExportedInterface, CatalogIsFoundBesideTheLibraryInEveryLayout) {
  const std::pair<const char*, const char*> layouts[] = {
      {"lib", "lib"},
      {"build/lib", "build/nls"},
      {"usr/lib", "usr/share/qelConnectionServer"},
      {"usr/lib/x86_64-linux-gnu", "usr/share/qelConnectionServer"},
  };
  for (const auto& [library_folder, catalog_folder] : layouts)
    qeltest::run_in_fresh_process([&] { expect_catalog_found(library_folder, catalog_folder); });
}
