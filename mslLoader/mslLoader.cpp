// The service library loader.
#include "mslLoader/mslLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <utility>

#include "mslLoader/cLock.h"
#include "mslLoader/mslLoaderGuard.h"
#include "mslLoader/mslLoaderLog.h"
#include "mslLoader/qelFileSignature.h"
#include "mslLoader/qelMinisignCrypto.h"
#include "qelStatusCodes.h"
#include "qelToolsLib/qelError.h"

char g_LoaderLibPath[kLoaderPathBytes] = "";
bool g_bExternalFileSigExtSet = false;

namespace {

using qel::sig::SealedImage;

constexpr char kDefaultSigExtension[] = ".sig";

// Helpers report under the name of the operation the host called.
constexpr char kLoadFn[] = "LoadServiceLibrary";
constexpr char kValidateFn[] = "ValidateFileSig";
constexpr char kLookupFn[] = "LookupSymbol";

char g_ExtSigFileExtension[kLoaderPathBytes] = "";
cLock g_libraryLock = CLOCK_INITIALIZER;
// libsodium, the one component set the verifier needs, initialised once.
std::atomic<bool> g_cryptoReady{false};

// Writes `first` followed by `second` into a path buffer; false when it does not fit.
bool Concat(char (&out)[kLoaderPathBytes], const char* first, const char* second) {
  int written = std::snprintf(out, sizeof out, "%s%s", first, second);
  return written >= 0 && static_cast<size_t>(written) < sizeof out;
}

uint32_t EnsureCryptoToolkit() {
  if (g_cryptoReady.load(std::memory_order_acquire)) return 0;
  if (!qel::sig::InitCrypto()) {
    uint32_t rc = qel::status::LOADER_CRYPTO_INIT_FAILED;
    QEL_LOG_LONG_AS(kLoadFn, MSL_LOG_ERROR, "Unable to initialise the cryptographic toolkit: %s",
                 qel::loader::StatusText(rc).c_str());
    return rc;
  }
  g_cryptoReady.store(true, std::memory_order_release);
  return 0;
}

uint32_t ComposeFullName(const char* library, char (&fullName)[kLoaderPathBytes]) {
  bool fits;
  if (g_LoaderLibPath[0] != '\0') {
    if (std::strchr(library, '/') != nullptr) {
      QEL_LOG_SHORT_AS(kLoadFn, MSL_LOG_WARNING,
                    "'library' argument contains file path, though SetMSLLoaderLibPath() was "
                    "previously called.  You should probably omit the path and use just the "
                    "libary name during loading.");
    }
    fits = Concat(fullName, g_LoaderLibPath, library);
  } else {
    fits = Concat(fullName, "", library);
  }
  if (!fits) {
    QEL_LOG_SHORT_AS(kLoadFn, MSL_LOG_ERROR, "'library' argument is too long");
    return qel::status::LOADER_PATH_TOO_LONG;
  }
  QEL_LOG_LONG_AS(kLoadFn, MSL_LOG_INFO, "Full library to load: %s", fullName);
  return 0;
}

// Both attempts hand the options record with the image slot to the verifier, so that
// whichever attempt succeeds leaves its verified bytes for the load.
uint32_t VerifyWith(const char* filename, const char* sigPath, SealedImage* image) {
  qel::sig::qelFileSigOptions options;
  options.image = image;
  return qel::sig::qelVerifyFileSignature(filename, qel::sig::kUsageApp.data(), sigPath,
                                          &options);
}

void LogExternalFailure(const char* filename, const char* sigPath, uint32_t rc) {
  QEL_LOG_LONG_AS(kValidateFn, MSL_LOG_ERROR,
               "Failed to verify signature for filename='%s', with external signature file:  "
               "externalFileSigPath='%s' with sig=DEFAULT, errMsg=%s",
               filename, sigPath, qel::loader::StatusText(rc).c_str());
}

uint32_t VerifyExternalOnly(const char* filename, SealedImage* image) {
  char sigPath[kLoaderPathBytes];
  if (!Concat(sigPath, filename, g_ExtSigFileExtension)) return qel::status::LOADER_PATH_TOO_LONG;
  QEL_LOG_LONG_AS(kValidateFn, MSL_LOG_INFO, "External signature file = '%s'", sigPath);
  QEL_LOG_LONG_AS(kValidateFn, MSL_LOG_INFO,
               "About to verify signature: filename='%s', externalFileSigPath='%s', sig=DEFAULT",
               filename, sigPath);
  uint32_t rc = VerifyWith(filename, sigPath, image);
  if (rc != 0) LogExternalFailure(filename, sigPath, rc);
  return rc;
}

// When the ".sig" attempt finds no file, the embedded attempt's status says why the
// library was refused (a damaged embedded signature, say), not "missing".
uint32_t VerifyEmbeddedThenDefault(const char* filename, SealedImage* image) {
  QEL_LOG_LONG_AS(kValidateFn, MSL_LOG_INFO,
               "About to verify signature: filename='%s', externalFileSigPath=NULL, sig=DEFAULT",
               filename);
  const uint32_t embedded = VerifyWith(filename, nullptr, image);
  if (embedded == 0) return 0;
  uint32_t rc = embedded;
  QEL_LOG_LONG_AS(kValidateFn, MSL_LOG_ERROR,
               "Failed to verify signature for filename='%s', without external signature file "
               "(externalFileSigPath='NULL') with sig=DEFAULT, errMsg=%s",
               filename, qel::loader::StatusText(rc).c_str());
  char sigPath[kLoaderPathBytes];
  if (!Concat(sigPath, filename, kDefaultSigExtension)) return qel::status::LOADER_PATH_TOO_LONG;
  QEL_LOG_LONG_AS(kValidateFn, MSL_LOG_INFO,
               "Second attempt to verify signature for filename='%s', now using default "
               "external file signature='%s' with sig=DEFAULT",
               filename, sigPath);
  rc = VerifyWith(filename, sigPath, image);
  if (rc != 0) LogExternalFailure(filename, sigPath, rc);
  return rc == qel::status::LOADER_SIG_MISSING ? embedded : rc;
}

uint32_t ValidateFileSigUnguarded(const char* filename) {
  // A verification that fails, or throws, leaves no image of an earlier one behind.
  qel::loader::ClearVerifiedImage();
  char cwd[kLoaderPathBytes];
  if (::getcwd(cwd, sizeof cwd) == nullptr) cwd[0] = '\0';
  QEL_LOG_LONG_AS(kValidateFn, MSL_LOG_INFO, "Current working directory = '%s'", cwd);
  SealedImage image;
  uint32_t rc = g_bExternalFileSigExtSet ? VerifyExternalOnly(filename, &image)
                                         : VerifyEmbeddedThenDefault(filename, &image);
  if (rc != 0) return rc;
  QEL_LOG_SHORT_AS(kValidateFn, MSL_LOG_INFO, "Successfully verified signature.");
  qel::loader::StoreVerifiedImage(filename, std::move(image));
  return 0;
}

// ValidateFileSig without its guard: the load, already guarded, calls it too.
uint32_t ValidateChecked(const char* filename) {
  if (filename == nullptr || *filename == '\0') {
    QEL_LOG_SHORT_AS(kValidateFn, MSL_LOG_ERROR, "'filename' argument is NULL");
    return qel::status::INVALID_ARGUMENT;
  }
  // The verified image waits in one process-wide slot until the load takes it, so a
  // verification must never run between another caller's verification and load.
  cLockGuard lock(&g_libraryLock);
  if (lock.status() != 0) return lock.status();
  return ValidateFileSigUnguarded(filename);
}

// Runs while the library lock is held: verification, then the load of the verified bytes.
uint32_t VerifyAndLoad(const char* fullName, LibHandle* phLibHandle) {
  if (uint32_t rc = ValidateChecked(fullName)) return rc;
  QEL_LOG_LONG_AS(kLoadFn, MSL_LOG_ENTRY, "About to load library:  '%s'", fullName);
  uint32_t rc = cLibLoadLibrary(fullName, phLibHandle);
  if (rc == 0) {
    QEL_LOG_LONG_AS(kLoadFn, MSL_LOG_INFO, "Successfully loaded library:  '%s'", fullName);
  } else {
    QEL_LOG_LONG_AS(kLoadFn, MSL_LOG_ERROR, "cLibLoadLibrary() returned an error: %s",
                 qel::loader::StatusText(rc).c_str());
  }
  return rc;
}

uint32_t LookupLocked(LibHandle* phLibHandle, void** out, const char* symbol) {
  *out = nullptr;
  QEL_LOG_SHORT_AS(kLookupFn, MSL_LOG_ENTRY, "About to map symbol:  '%s'", symbol);
  if (phLibHandle->handle != nullptr) {
    ::dlerror();
    *out = ::dlsym(phLibHandle->handle, symbol);
  }
  if (*out != nullptr) return 0;
  phLibHandle->lastError = phLibHandle->handle == nullptr ? qel::status::LOADER_NOT_LOADED
                                                          : qel::status::LOADER_SYMBOL_NOT_FOUND;
  QEL_LOG_SHORT_AS(kLookupFn, MSL_LOG_ERROR, "Error mapping symbol:  '%s'", symbol);
  return phLibHandle->lastError;
}

}  // namespace

void SetLoaderLogSink(const mslLogSink* sink) {
  qel::loader::SetSink(sink);
  // Without a catalog, texts come from the ones compiled in.
  qelToolsLib::QELError::openCatalog(nullptr, "qel-MgmtSvcs.cat", "");
}

void SetMSLLoaderLibPath(const char* directory) {
  if (directory == nullptr) return;
  g_LoaderLibPath[0] = '\0';
  size_t length = std::strlen(directory);
  if (length > 0) {
    const char* slash = directory[length - 1] == '/' ? "" : "/";
    if (!Concat(g_LoaderLibPath, directory, slash)) g_LoaderLibPath[0] = '\0';
  }
  QEL_LOG_LONG(MSL_LOG_INFO, "g_LoaderLibPath set to: '%s'", g_LoaderLibPath);
}

void SetMSLLoaderExtSigFileExtension(const char* extension) {
  if (extension == nullptr) return;
  g_ExtSigFileExtension[0] = '\0';
  if (*extension != '\0' && Concat(g_ExtSigFileExtension, extension, "")) {
    g_bExternalFileSigExtSet = true;
  } else {
    g_ExtSigFileExtension[0] = '\0';
  }
  QEL_LOG_LONG(MSL_LOG_INFO, "sigFileExt set to: '%s', g_bExternalFileSigExtSet:  '%s'",
               g_ExtSigFileExtension, g_bExternalFileSigExtSet ? "TRUE" : "FALSE");
}

bool GetExternalFileSigExtSet() { return g_bExternalFileSigExtSet; }

const char* GetMSLLoaderExtSigFileExtension() { return g_ExtSigFileExtension; }

uint32_t ValidateFileSig(const char* filename) {
  return qel::loader::Guarded(kValidateFn, [&] { return ValidateChecked(filename); });
}

uint32_t LoadServiceLibrary(const char* library, LibHandle* phLibHandle) {
  return qel::loader::Guarded(kLoadFn, [&] {
    if (library == nullptr || *library == '\0') {
      QEL_LOG_SHORT_AS(kLoadFn, MSL_LOG_ERROR, "'library' argument is NULL");
      return uint32_t{qel::status::INVALID_ARGUMENT};
    }
    if (phLibHandle == nullptr) {
      QEL_LOG_SHORT_AS(kLoadFn, MSL_LOG_ERROR, "'phLibHandle' argument is NULL");
      return uint32_t{qel::status::INVALID_ARGUMENT};
    }
    char fullName[kLoaderPathBytes];
    if (uint32_t rc = ComposeFullName(library, fullName)) return rc;
    if (uint32_t rc = EnsureCryptoToolkit()) return rc;
    cLockGuard lock(&g_libraryLock);
    if (lock.status() != 0) return lock.status();
    return VerifyAndLoad(fullName, phLibHandle);
  });
}

uint32_t LookupSymbol(LibHandle* phLibHandle, void** out, const char* symbol) {
  return qel::loader::Guarded(kLookupFn, [&] {
    cLockGuard lock(&g_libraryLock);
    if (lock.status() != 0) return lock.status();
    if (symbol == nullptr || *symbol == '\0') {
      QEL_LOG_SHORT_AS(kLookupFn, MSL_LOG_ERROR, "'symbol' argument is NULL");
      if (out != nullptr) *out = nullptr;
      return uint32_t{qel::status::INVALID_ARGUMENT};
    }
    if (phLibHandle == nullptr || out == nullptr) {
      QEL_LOG_SHORT_AS(kLookupFn, MSL_LOG_ERROR, "'phLibHandle' argument is NULL");
      return uint32_t{qel::status::INVALID_ARGUMENT};
    }
    return LookupLocked(phLibHandle, out, symbol);
  });
}
