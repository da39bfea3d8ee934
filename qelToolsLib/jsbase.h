// jsbase.h - common base of every toolkit primitive and the wait-result scale.
//
// Every primitive derives from jsBase. The locks, events and semaphores throw
// jsOsException from their constructor when the operating system refuses the object
// behind them, so none of them exists without it and none fails open; isValid() is
// then always true for them. A thread object reports through isValid().
// All times in the toolkit are milliseconds; jsInfinite waits without a limit.
// Thread safety: isValid() may be called from any thread.
#pragma once

#include <cstdint>

namespace qelToolsLib {

// Results of every wait, try-lock and time-out operation of the toolkit.
enum jsWaitResult : int {
  jsWaitSuccess = 0,  // acquired / signalled
  jsWaitTimeout = 1,  // time-out or busy
  jsWaitFailed = 2,   // anything else
};

// A time-out value that never expires.
constexpr uint32_t jsInfinite = 0xFFFFFFFFu;

// Maps an operating-system result (0 or an errno value) onto the wait results:
// 0 -> 0; EBUSY, ETIME, ETIMEDOUT -> 1; anything else -> 2.
int jsMapWaitResult(int osResult) noexcept;

class jsBase {
 public:
  jsBase() = default;
  virtual ~jsBase() = default;
  jsBase(const jsBase&) = delete;
  jsBase& operator=(const jsBase&) = delete;

  virtual bool isValid() const { return m_valid; }

 protected:
  void setValid(bool valid) noexcept { m_valid = valid; }

 private:
  bool m_valid = false;
};

}  // namespace qelToolsLib

using qelToolsLib::jsBase;
using qelToolsLib::jsInfinite;
using qelToolsLib::jsMapWaitResult;
using qelToolsLib::jsWaitFailed;
using qelToolsLib::jsWaitResult;
using qelToolsLib::jsWaitSuccess;
using qelToolsLib::jsWaitTimeout;
