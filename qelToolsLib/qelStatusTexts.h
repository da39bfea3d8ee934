// qelStatusTexts.h - the text of every status of the status table (catalog/status/*.def),
// compiled in from the same table the message catalog is built from. QELError uses it
// when no catalog could be opened, or the catalog lacks a message, so a status the
// table knows never reads as a placeholder. Immutable: any thread.
#pragma once

#include <cstdint>

namespace qelToolsLib {

// The table's text of `status`, or null for a status the table does not hold.
const char* qelBuiltinStatusText(uint32_t status) noexcept;

}  // namespace qelToolsLib
