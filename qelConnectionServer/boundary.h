// boundary: the one place where exceptions become status values, used by every
// exported function and by the POST callback. guarded_call runs `body` (returning a
// status) and maps whatever escapes it: funneltunnel_exception to its code, anything
// else (std::bad_alloc, other standard exceptions, foreign types) to the general
// failure 0x47210047. `report(code, text, ours)` writes the caller's trace line; it
// runs inside its own catch-all, so nothing escapes guarded_call. Any thread.
#ifndef QEL_FUNNELTUNNEL_BOUNDARY_H
#define QEL_FUNNELTUNNEL_BOUNDARY_H

#include <cstdint>
#include <exception>
#include <new>

#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelStatusCodes.h"

namespace qel {
namespace funneltunnel {

template <class Report>
uint32_t report_failure(Report& report, uint32_t code, const char* text, bool ours) noexcept {
  try {
    report(code, text, ours);
  } catch (...) {
    // Tracing is best effort at a boundary; the status still goes back.
  }
  return code;
}

template <class Body, class Report>
uint32_t guarded_call(Body&& body, Report&& report) noexcept {
  try {
    return body();
  } catch (const funneltunnel_exception& e) {
    return report_failure(report, e.code, e.what(), true);
  } catch (const std::bad_alloc&) {
    return report_failure(report, status::GENERAL_FAILURE, "out of memory", false);
  } catch (const std::exception& e) {
    return report_failure(report, status::GENERAL_FAILURE, e.what(), false);
  } catch (...) {
    return report_failure(report, status::GENERAL_FAILURE, "unknown exception", false);
  }
}

}  // namespace funneltunnel
}  // namespace qel

#endif  // QEL_FUNNELTUNNEL_BOUNDARY_H
