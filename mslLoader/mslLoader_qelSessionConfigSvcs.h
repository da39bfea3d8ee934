// The function table of the HTTP service library (libqelSessionConfigSvcs5.so).
//
// Every entry starts at a placeholder that prints why it cannot run and returns
// 0xC7210042 (null for SCS_Allocate, nothing for the three functions without a
// result). LoadQelSessionConfigSvcs verifies the library's signature, loads it and
// fills the table under the module lock; callers read the table without a lock, and
// only after a successful load.
#ifndef QEL_MSLLOADER_QELSESSIONCONFIGSVCS_H
#define QEL_MSLLOADER_QELSESSIONCONFIGSVCS_H

#include <cstdint>

#include "qelSessionConfigSvcs.h"

struct QelSessionConfigSvcsTable {
#define QEL_SCS_TABLE_ENTRY(name) decltype(&::name) name;
  SCS_FUNCTION_TABLE(QEL_SCS_TABLE_ENTRY)
  // The extensions: taken when the library has them; otherwise they stay at a
  // placeholder that quietly returns SCS_STATUS_NOT_SUPPORTED.
  SCS_EXTENSION_FUNCTIONS(QEL_SCS_TABLE_ENTRY)
#undef QEL_SCS_TABLE_ENTRY
};

// The process-wide table; entries never point at freed code (the library stays
// loaded until the process ends).
extern QelSessionConfigSvcsTable g_qelSessionConfigSvcs;

// Loads `library` (a file name, looked up in the loader's library directory) once per
// process and fills the table. Returns 0 or the first failure's status; a failed load
// can be retried.
uint32_t LoadQelSessionConfigSvcs(const char* library);

// Number of successful loads so far (a second load only counts).
int32_t QelSessionConfigSvcsLoadCount();

// Whether the loaded library has this family's extensions (it exports
// SCS_SERVER_WatchRequest): only then does the connection server pass the extension
// values of the standard calls' flags and modes. Tests of the core set it by hand.
bool QelSessionConfigSvcsExtended();
void SetQelSessionConfigSvcsExtended(bool extended);

#endif  // QEL_MSLLOADER_QELSESSIONCONFIGSVCS_H
