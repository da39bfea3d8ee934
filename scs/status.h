// Status values of the HTTP service library and their texts.
//
// The constants and the built-in texts both come from catalog/status/scs.def, so the
// library needs no message catalog for its own codes. Codes of other modules (a
// callback's status, for instance) are looked up in the installed catalog when one is
// present, else in the texts of every module compiled in from the same tables. Every function here is thread-safe and allocation-free except describe().
#pragma once

#include <cstdint>
#include <string>

namespace qel::scs::status {

#define QEL_STATUS(name, code, text) constexpr std::uint32_t name = code##u;
#include "catalog/status/scs.def"
#undef QEL_STATUS

// The built-in text of one of this library's codes, or null for any other code.
const char* builtin_text(std::uint32_t code);

// A text for any code: the built-in one, else the catalog's, else the compiled-in text
// of another module, else "status 0x%08X".
std::string describe(std::uint32_t code);

// Writes the built-in text of `code` into buffer[size]: 0, SCS_BUFFER_TOO_SMALL (the
// text is truncated), SCS_UNKNOWN_STATUS (empty text) or SCS_INVALID_ARGUMENT.
std::uint32_t copy_text(std::uint32_t code, char* buffer, std::uint32_t size);

}  // namespace qel::scs::status
