// The loader's one error boundary: every function the host calls runs its body inside
// Guarded, which turns an exception into a status and keeps it from reaching the host.
// bad_alloc gives OUT_OF_MEMORY, anything else LOADER_INTERNAL_ERROR; both are logged
// under the operation's name, as far as the host's sink lets that happen.
#ifndef QEL_MSLLOADER_MSLLOADERGUARD_H
#define QEL_MSLLOADER_MSLLOADERGUARD_H

#include <cstdint>
#include <exception>
#include <new>

#include "mslLoader/mslLoaderLog.h"
#include "qelStatusCodes.h"

namespace qel {
namespace loader {

template <class Body>
std::uint32_t Guarded(const char* function, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    QEL_LOG_SHORT_AS(function, MSL_LOG_ERROR, "out of memory");
    return status::OUT_OF_MEMORY;
  } catch (const std::exception& e) {
    QEL_LOG_SHORT_AS(function, MSL_LOG_ERROR, "unexpected failure: %.200s", e.what());
  } catch (...) {
    QEL_LOG_SHORT_AS(function, MSL_LOG_ERROR, "unexpected failure");
  }
  return status::LOADER_INTERNAL_ERROR;
}

}  // namespace loader
}  // namespace qel

#endif  // QEL_MSLLOADER_MSLLOADERGUARD_H
