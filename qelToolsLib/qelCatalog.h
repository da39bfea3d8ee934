// qelCatalog.h - the process-wide message catalog behind QELError texts: one handle
// (not open until openCatalog succeeds), the lock that serialises opening it, and the
// key (set, message) under which a status value's text is stored.
//
// Opening searches, in order: the given folder and /usr/lib/spa/nls (each
// "<folder>/<locale>/LC_MESSAGES/<name>.cat", with the host's LC_MESSAGES locale and
// then "C"); NLSPATH and the C library's own search path; "./<name>"; then beside the
// library (see besideLibraryFiles in the source). It changes neither the process
// environment nor any locale. Lookups may run on any thread at any time; before the
// catalog is open they find nothing.
#pragma once

#include <cstdint>

namespace qelToolsLib {
namespace catalog {

// Opens the catalog `name` (see QELError::openCatalog); 0 when the catalog is open
// afterwards (also when it already was), else the errno of the last attempt. `locale`
// is not applied: the catalog follows the locale the host set for LC_MESSAGES.
uint32_t open(const char* directory, const char* name, const char* locale) noexcept;

// Closes the catalog (tests, unload); not to be called while lookups run.
void close() noexcept;

bool isOpen() noexcept;

// The catalog text of `status`, owned by the catalog; null with errno set when the
// catalog holds none (or is not open: errno ENOENT then).
const char* lookup(uint32_t status) noexcept;

// The catalog key: set from the facility, message from the code and severity.
int setOf(uint32_t status) noexcept;
int messageOf(uint32_t status) noexcept;

}  // namespace catalog
}  // namespace qelToolsLib
