// The function table of the HTTP service library and its one-time load.
#include "mslLoader/mslLoader_qelSessionConfigSvcs.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <type_traits>

#include "mslLoader/cLock.h"
#include "mslLoader/mslLoaderGuard.h"
#include "mslLoader/mslLoader.h"
#include "mslLoader/mslLoaderLog.h"
#include "qelStatusCodes.h"

namespace {

// A placeholder for an entry of type F, named by Name: prints why it cannot run and
// returns the "not loaded" status, a null pointer, or nothing, by result type.
template <typename F>
struct Placeholder;

template <typename R, typename... Args>
struct Placeholder<R (*)(Args...)> {
  template <const char* Name>
  static R Call(Args...) {
    std::printf("%s:  Unable to invoke function.  Make sure Management Services Library is "
                "successfully loaded.\n",
                Name);
    if constexpr (std::is_pointer_v<R>) {
      return nullptr;
    } else if constexpr (!std::is_void_v<R>) {
      return qel::status::SCS_NOT_LOADED;
    }
  }
};

// An extension the loaded library lacks: not supported, and nothing to report.
template <typename F>
struct Unsupported;

template <typename... Args>
struct Unsupported<uint32_t (*)(Args...)> {
  static uint32_t Call(Args...) { return SCS_STATUS_NOT_SUPPORTED; }
};

#define QEL_SCS_NAME(name) constexpr char kName_##name[] = #name;
SCS_FUNCTION_TABLE(QEL_SCS_NAME)
#undef QEL_SCS_NAME

cLock g_moduleLock = CLOCK_INITIALIZER;
LibHandle g_scsHandle = {nullptr, -1, 0};
std::atomic<int32_t> g_loadCount{0};

// Resolves the entries in table order; stops at the first failure, which leaves that
// entry null.
uint32_t ResolveTable() {
  void* address = nullptr;
  uint32_t rc = 0;
#define QEL_SCS_RESOLVE(name)                                                    \
  if (rc == 0) {                                                                 \
    rc = LookupSymbol(&g_scsHandle, &address, #name);                            \
    g_qelSessionConfigSvcs.name = reinterpret_cast<decltype(&::name)>(address); \
  }
  SCS_FUNCTION_TABLE(QEL_SCS_RESOLVE)
#undef QEL_SCS_RESOLVE
  return rc;
}

std::atomic<bool> g_extended{false};

// Takes the extensions the library has; a missing one keeps its placeholder.
void ResolveExtensions() {
  g_extended.store(dlsym(g_scsHandle.handle, "SCS_SERVER_WatchRequest") != nullptr);
#define QEL_SCS_RESOLVE_OPTIONAL(name)                                                 \
  if (void* address = dlsym(g_scsHandle.handle, #name)) {                              \
    g_qelSessionConfigSvcs.name = reinterpret_cast<decltype(&::name)>(address);        \
  }
  SCS_EXTENSION_FUNCTIONS(QEL_SCS_RESOLVE_OPTIONAL)
#undef QEL_SCS_RESOLVE_OPTIONAL
}

// Steps of one real load, under the module lock; returns the first failure.
uint32_t LoadOnce(const char* library) {
  if (uint32_t rc = cInitLibHandle(&g_scsHandle)) {
    QEL_LOG_LONG_AS("LoadQelSessionConfigSvcs", MSL_LOG_ERROR, "cInitLibHandle() returned an error: %s",
                 qel::loader::StatusText(rc).c_str());
    return rc;
  }
  if (uint32_t rc = LoadServiceLibrary(library, &g_scsHandle)) {
    QEL_LOG_LONG_AS("LoadQelSessionConfigSvcs", MSL_LOG_ERROR, "LoadServiceLibrary() returned an error: %s",
                 qel::loader::StatusText(rc).c_str());
    return rc;
  }
  if (uint32_t rc = ResolveTable()) return rc;
  ResolveExtensions();
  g_qelSessionConfigSvcs.SCS_SetMSLLibPath(g_LoaderLibPath);
  if (GetExternalFileSigExtSet()) {
    g_qelSessionConfigSvcs.SCS_SetMSLExtSigFileExtension(GetMSLLoaderExtSigFileExtension());
  }
  return 0;
}

}  // namespace

QelSessionConfigSvcsTable g_qelSessionConfigSvcs = {
#define QEL_SCS_PLACEHOLDER(name) &Placeholder<decltype(&::name)>::Call<kName_##name>,
    SCS_FUNCTION_TABLE(QEL_SCS_PLACEHOLDER)
#undef QEL_SCS_PLACEHOLDER
#define QEL_SCS_UNSUPPORTED(name) &Unsupported<decltype(&::name)>::Call,
    SCS_EXTENSION_FUNCTIONS(QEL_SCS_UNSUPPORTED)
#undef QEL_SCS_UNSUPPORTED
};

uint32_t LoadQelSessionConfigSvcs(const char* library) {
  QEL_LOG_SHORT(MSL_LOG_ENTRY, "Entered function");
  cLockGuard lock(&g_moduleLock);
  if (lock.status() != 0) return lock.status();
  int32_t previous = g_loadCount.fetch_add(1);
  if (previous >= 1) return 0;
  uint32_t rc = qel::loader::Guarded(__func__, [&] { return LoadOnce(library); });
  // A failed load counts for nothing, so that the next call tries it all again.
  if (rc != 0) g_loadCount.store(previous);
  return rc;
}

int32_t QelSessionConfigSvcsLoadCount() { return g_loadCount.load(); }

bool QelSessionConfigSvcsExtended() { return g_extended.load(); }

void SetQelSessionConfigSvcsExtended(bool extended) { g_extended.store(extended); }
