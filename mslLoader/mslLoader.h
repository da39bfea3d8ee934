// The service library loader: loads a service library at run time, but only the
// bytes whose file signature was verified, and resolves its functions by name.
//
// Plain functions over process-wide state, with status values as results (0 =
// success) and reports through the host's log interface. The directory and the
// signature extension are set by the host before CS_Init (not while a load runs);
// loads and lookups may come from any thread and are serialised by the library lock,
// which is held from verification to load. Nothing here throws.
#ifndef QEL_MSLLOADER_MSLLOADER_H
#define QEL_MSLLOADER_MSLLOADER_H

#include <cstdint>

#include "mslLoader/mslLibHandle.h"
#include "mslLogSink.h"

constexpr unsigned kLoaderPathBytes = 4096;

// The service library directory: empty, or ending with "/".
extern char g_LoaderLibPath[kLoaderPathBytes];
// Set once a non-empty external signature extension was stored.
extern bool g_bExternalFileSigExtSet;

// Stores the host's log interface (null: nothing is logged) and opens the message
// catalog "qel-MgmtSvcs.cat".
void SetLoaderLogSink(const mslLogSink* sink);

// Stores `directory` with a trailing "/" (empty leaves the directory empty).
void SetMSLLoaderLibPath(const char* directory);

// Stores the extension of external signature files; a non-empty one sets
// g_bExternalFileSigExtSet, an empty one clears the extension only.
void SetMSLLoaderExtSigFileExtension(const char* extension);
bool GetExternalFileSigExtSet();
// The stored extension (empty when none).
const char* GetMSLLoaderExtSigFileExtension();

// Verifies `library` (in the directory, when one is set) and loads the verified bytes.
uint32_t LoadServiceLibrary(const char* library, LibHandle* phLibHandle);

// Resolves `symbol` in the loaded library into `*out` (null when missing).
uint32_t LookupSymbol(LibHandle* phLibHandle, void** out, const char* symbol);

// Verifies the signature of `filename`: embedded first, then "<filename>.sig"; or
// only "<filename><extension>" when an extension is set. On success the verified
// image waits for cLibLoadLibrary of the same name. Runs under the library lock.
uint32_t ValidateFileSig(const char* filename);

#endif  // QEL_MSLLOADER_MSLLOADER_H
