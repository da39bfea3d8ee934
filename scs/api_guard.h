// The library's one error boundary. `guarded` wraps each exported C function:
// ScsError gives its own code (its detail is logged as an error, without the status
// text), bad_alloc gives SCS_OUT_OF_MEMORY, anything else SCS_INTERNAL_ERROR.
// `guarded_callback` wraps each function the HTTP server or a thread of ours calls:
// a failure is logged and the callback gives `on_failure`. Nothing escapes either.
#pragma once

#include <cstdint>
#include <exception>
#include <new>
#include <type_traits>

#include "scs/log.h"
#include "scs/scs_error.h"
#include "scs/status.h"

namespace qel::scs {

template <class Body>
std::uint32_t guarded(const char* function, Body&& body) noexcept {
  try {
    return body();
  } catch (const ScsError& e) {
    // The detail alone: the status texts are written for callers that have no log
    // ("... (the log names the key)"), and the caller gets the status anyway.
    log().write(MSL_LOG_ERROR, function, "%.900s", e.what());
    return e.code();
  } catch (const std::bad_alloc&) {
    log().write(MSL_LOG_ERROR, function, "out of memory");
    return status::SCS_OUT_OF_MEMORY;
  } catch (const std::exception& e) {
    log().write(MSL_LOG_ERROR, function, "unexpected failure: %.900s", e.what());
  } catch (...) {
    log().write(MSL_LOG_ERROR, function, "unexpected failure");
  }
  return status::SCS_INTERNAL_ERROR;
}

template <class Result, class Body>
Result guarded_callback(const char* where, Result on_failure, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    log().write(MSL_LOG_ERROR, where, "out of memory");
  } catch (const std::exception& e) {
    log().write(MSL_LOG_ERROR, where, "unexpected failure: %.900s", e.what());
  } catch (...) {
    log().write(MSL_LOG_ERROR, where, "unexpected failure");
  }
  return on_failure;
}

template <class Body>
void guarded_callback(const char* where, Body&& body) noexcept {
  guarded_callback(where, 0, [&] {
    body();
    return 0;
  });
}

}  // namespace qel::scs
