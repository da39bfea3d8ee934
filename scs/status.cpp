#include "scs/status.h"

#include <nl_types.h>

#include <cstdio>
#include <cstring>

namespace qel::scs::status {
namespace {

struct Entry {
  std::uint32_t code;
  const char* text;
};

constexpr Entry kTable[] = {
#define QEL_STATUS(name, code, text) {code##u, text},
#include "catalog/status/scs.def"
#undef QEL_STATUS
};

// Every module's texts (generated from catalog/status/*.def), for a callback's status
// where no catalog is found: an installed library finds none by the C library's search.
constexpr Entry kProjectTable[] = {
#include "qelStatusTexts.inc"
};

const char* project_text(std::uint32_t code) {
  for (const Entry& e : kProjectTable) {
    if (e.code == code) return e.text;
  }
  return nullptr;
}

// The catalog's set and message numbers follow the layout the catalog generator uses:
// one set per facility, the severity folded into the message number.
const char* catalog_text(std::uint32_t code) {
  static nl_catd catalog = catopen("qel-MgmtSvcs.cat", NL_CAT_LOCALE);
  if (catalog == reinterpret_cast<nl_catd>(-1)) return nullptr;
  const std::uint32_t facility = (code >> 16) & 0xFFF;
  const std::uint32_t severity = (code >> 30) & 3;
  int set = 0;
  if (facility < 3) {
    set = static_cast<int>(facility) + 1;
  } else if (facility > 1791) {
    set = static_cast<int>(facility) - 1788;
  } else {
    return nullptr;
  }
  const int number = static_cast<int>((code & 0xFFFF) | (((severity ^ 3) & 3) << 13));
  const char* text = catgets(catalog, set, number, nullptr);
  return text;
}

}  // namespace

const char* builtin_text(std::uint32_t code) {
  for (const Entry& e : kTable) {
    if (e.code == code) return e.text;
  }
  return nullptr;
}

std::string describe(std::uint32_t code) {
  if (const char* text = builtin_text(code)) return text;
  if (const char* text = catalog_text(code)) return text;
  if (const char* text = project_text(code)) return text;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "status 0x%08X", static_cast<unsigned>(code));
  return buffer;
}

std::uint32_t copy_text(std::uint32_t code, char* buffer, std::uint32_t size) {
  if (buffer == nullptr || size < 2) return SCS_INVALID_ARGUMENT;
  buffer[0] = '\0';
  const char* text = builtin_text(code);
  if (text == nullptr) return SCS_UNKNOWN_STATUS;
  const std::size_t length = std::strlen(text);
  const std::size_t copied = length < size ? length : size - 1;
  std::memcpy(buffer, text, copied);
  buffer[copied] = '\0';
  return copied == length ? 0 : SCS_BUFFER_TOO_SMALL;
}

}  // namespace qel::scs::status
