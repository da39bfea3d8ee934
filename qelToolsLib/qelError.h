// qelError.h - QELError, a 32-bit status value with its readable text, and the
// translation of operating-system error numbers into status values.
//
// Status layout: bits 31-30 severity (3 error, 1 warning, 0 success), 27-16 facility
// (0: the low bits are a plain errno; 0x721 this library), 15-0 code.
// getText() builds the text from the process-wide message catalog (see openCatalog)
// or, when no catalog is open or it lacks the message, from the texts compiled from
// the same status table; only a status the table does not know reads "Status N
// retrieving message text for [id]". The text is decorated with the identifier and
// stays owned by the object until the next getText(), releaseText() or destruction.
// No operation throws.
// Thread safety: one QELError per thread at a time; fromErrno and openCatalog from
// any thread (opening is serialised by the catalog lock).
#pragma once

#include <cstdint>

namespace qelToolsLib {

// The default text width, used by qelGetErrorMsg; getText caps widths at 255, at
// which nothing is wrapped.
constexpr uint32_t qelDefaultTextWidth = 320;

class QELError {
 public:
  explicit QELError(uint32_t status = 0) noexcept;
  virtual ~QELError();
  QELError(const QELError&) = delete;
  QELError& operator=(const QELError&) = delete;

  uint32_t getStatus() const noexcept { return m_status; }
  // Changes the status and releases the text.
  void setStatus(uint32_t status) noexcept;

  // "%u" below 0x10000, else "0x%8.8x"; owned by the object.
  const char* getId() noexcept;
  // The decorated text, wrapped at `width` columns (0: no wrapping, final newline).
  const char* getText(uint32_t width = qelDefaultTextWidth) noexcept;
  void releaseText() noexcept;
  // Looks plain errno values up in the catalog instead of taking strerror's text.
  void setForceCatalog(bool force) noexcept { m_forceCatalog = force; }

  // Translates an operating-system error number into a status value.
  static uint32_t fromErrno(uint32_t osError) noexcept;
  // Opens the process-wide catalog; 0 when it is open afterwards, else the errno of
  // the last attempt. directory may be null. The host's locale is never changed, and
  // `locale` is not applied: the catalog follows the host's LC_MESSAGES.
  static uint32_t openCatalog(const char* directory, const char* name,
                              const char* locale) noexcept;

 private:
  const char* fallbackText(int error) noexcept;
  const char* keepText(const char* text) noexcept;

  uint32_t m_status;
  char m_id[12];
  char* m_text = nullptr;
  bool m_forceCatalog = false;
};

}  // namespace qelToolsLib

using qelToolsLib::QELError;
using qelToolsLib::qelDefaultTextWidth;
