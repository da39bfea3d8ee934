#include "qelToolsLib/qelError.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qelStatusCodes.h"
#include "qelToolsLib/qelCatalog.h"
#include "qelToolsLib/qelMessageText.h"
#include "qelToolsLib/qelStatusTexts.h"

namespace qelToolsLib {

namespace {

uint32_t facilityOf(uint32_t status) { return (status >> 16) & 0xFFF; }

std::string format(const char* pattern, int number, const char* id) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, pattern, number, id);
  return buffer;
}

// The text of `key` with `insert` substituted: from the catalog when it is open and
// holds it, else the text compiled from the status table, else the "retrieving" text
// (2 when no catalog is open, else the catalog's errno).
std::string catalogText(uint32_t key, const std::string& insert, const char* id) {
  const char* text = catalog::lookup(key);
  const int error = !catalog::isOpen() ? 2 : errno;
  if (text == nullptr) text = qelBuiltinStatusText(key);
  if (text == nullptr) return format("Status %d retrieving message text for [%s]", error, id);
  return insert.empty() ? std::string(text) : msgtext::substitute(text, insert);
}

std::string osText(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof buffer);  // the GNU form returns the text
}

// The undecorated text of a status value.
std::string rawText(uint32_t status, bool forceCatalog, const char* id) {
  const uint32_t facility = facilityOf(status);
  if (facility == 0x72B)
    return catalogText(qel::status::WRAPPED_STATUS, std::to_string(status & 0xFFFF), id);
  if (facility > 0x7FF) {
    char insert[16];
    std::snprintf(insert, sizeof insert, "0x%x", status & 0x1FFFFF);
    return catalogText(qel::status::UNKNOWN_FACILITY, insert, id);
  }
  if (facility == 0 && !forceCatalog) return osText(static_cast<int>(status & 0xFFFF));
  return catalogText(status, std::string(), id);
}

}  // namespace

QELError::QELError(uint32_t status) noexcept : m_status(status) { m_id[0] = '\0'; }

QELError::~QELError() { releaseText(); }

void QELError::setStatus(uint32_t status) noexcept {
  releaseText();
  m_status = status;
}

const char* QELError::getId() noexcept {
  std::snprintf(m_id, sizeof m_id, m_status < 0x10000 ? "%u" : "0x%8.8x", m_status);
  return m_id;
}

void QELError::releaseText() noexcept {
  std::free(m_text);
  m_text = nullptr;
}

const char* QELError::keepText(const char* text) noexcept {
  m_text = strdup(text);
  if (m_text == nullptr) errno = ENOMEM;
  return m_text;
}

const char* QELError::getText(uint32_t width) noexcept {
  releaseText();
  getId();
  if (width > msgtext::kUnlimitedWidth) width = msgtext::kUnlimitedWidth;
  try {
    std::string text = rawText(m_status, m_forceCatalog, m_id);
    msgtext::trimTrailing(text);
    text = msgtext::decorate(msgtext::wrap(text, width), m_id, width);
    if (keepText(text.c_str()) != nullptr) return m_text;
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
  }
  return fallbackText(errno);
}

const char* QELError::fallbackText(int error) noexcept {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "Status %d retrieving message text. [ID=%s]", error, m_id);
  return keepText(buffer) != nullptr ? m_text : m_id;
}

uint32_t QELError::fromErrno(uint32_t osError) noexcept {
  struct Entry {
    uint32_t osError;
    uint32_t status;
  };
  // Built at compile time, so there is nothing to initialise on first use.
  static constexpr Entry kTable[] = {
      {ENOENT, qel::status::FILE_NOT_FOUND},   {ESRCH, qel::status::CANNOT_OPEN},
      {EAGAIN, qel::status::TRY_AGAIN},        {ENOMEM, qel::status::OUT_OF_MEMORY},
      {EACCES, qel::status::ACCESS_DENIED},    {EFAULT, qel::status::BAD_ADDRESS},
      {EBUSY, qel::status::RESOURCE_BUSY},     {EEXIST, qel::status::ALREADY_EXISTS},
      {ENODEV, qel::status::NO_SUCH_DEVICE},   {ENOTDIR, qel::status::NOT_A_DIRECTORY},
      {EINVAL, qel::status::INVALID_ARGUMENT}, {EFBIG, qel::status::NO_SPACE},
      {ENOSPC, qel::status::NO_SPACE},
  };
  uint32_t value = osError;
  if (facilityOf(value) == 9 && (value & 0xFFFF) != 0) value = 0xC72D0000u + (value & 0xFFFF);
  if (facilityOf(value) >= 0x700 && facilityOf(value) <= 0x7FB) return value;
  if (value >= 10000 && value <= 12000) return 0xC7270000u + value;
  for (const Entry& e : kTable)
    if (e.osError == value) return e.status;
  return value;
}

uint32_t QELError::openCatalog(const char* directory, const char* name,
                               const char* locale) noexcept {
  return catalog::open(directory, name, locale);
}

}  // namespace qelToolsLib
