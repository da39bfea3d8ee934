// A stand-in for the HTTP service library: exports every function of the loader's
// table, plus markers that let the tests see which build was loaded and what the
// loader told it. The "partial" build is compiled with
// -DSCS_HttpHeadersCopy=FakeScs_Renamed and so lacks the table's last function.
#include <cstdlib>
#include <string>

#include "qelSessionConfigSvcs.h"

#ifndef FAKE_SCS_VARIANT
#define FAKE_SCS_VARIANT 1
#endif

namespace {
std::string g_libPath = "<never called>";
std::string g_extension = "<never called>";
}  // namespace

extern "C" {

int FakeScs_Variant(void) { return FAKE_SCS_VARIANT; }
const char* FakeScs_LibPath(void) { return g_libPath.c_str(); }
const char* FakeScs_Extension(void) { return g_extension.c_str(); }

void* SCS_Allocate(uint32_t size) { return std::malloc(size); }
void SCS_Free(void* block) { std::free(block); }
void SCS_SetMSLLibPath(const char* directory) { g_libPath = directory; }
void SCS_SetMSLExtSigFileExtension(const char* extension) { g_extension = extension; }

uint32_t SCS_SERVER_Init(const char*, const char*, const char*, const mslLogSink*) {
  return 0x1000u + FAKE_SCS_VARIANT;
}
uint32_t SCS_SERVER_ShutDown(void) { return 0; }
uint32_t SCS_SERVER_AddListener(const char*, const char*, uint32_t* handle) {
  *handle = 1;
  return 0;
}
uint32_t SCS_SERVER_RegisterOnPostData(uint32_t, const char*, uint32_t, SCS_POST_CALLBACK,
                                       uint32_t) {
  return 0;
}
uint32_t SCS_SERVER_StartServer(uint32_t) { return 0; }
uint32_t SCS_SERVER_StopServer(uint32_t) { return 0; }
uint32_t SCS_SERVER_RemoveListener(uint32_t) { return 0; }
uint32_t SCS_SERVER_GetRequestHeader(uint32_t, const char*, uint32_t, char** value) {
  *value = nullptr;
  return 0;
}
uint32_t SCS_SERVER_AddResponseHeader(uint32_t, const char*, const char*) { return 0; }
uint32_t SCS_SERVER_SetHttpStatus(uint32_t, uint16_t) { return 0; }
uint32_t SCS_GetErrorMsg(uint32_t, char*, uint32_t) { return SCS_STATUS_NOT_SUPPORTED; }
uint32_t SCS_SERVER_GetErrorMsg(uint32_t, char*, uint32_t) { return SCS_STATUS_NOT_SUPPORTED; }

#define FAKE_UNSUPPORTED(name) \
  uint32_t name(void) { return SCS_STATUS_NOT_SUPPORTED; }
SCS_UNSUPPORTED_FUNCTIONS(FAKE_UNSUPPORTED)

}  // extern "C"
