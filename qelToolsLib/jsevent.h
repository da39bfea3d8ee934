// jsevent.h - jsEvent, a signalled/non-signalled flag that threads wait on.
//
// A manual-reset event stays signalled until reset() and wakes every waiter; an
// automatic-reset event wakes one waiter, which consumes the signal. Time-outs are
// in milliseconds (jsInfinite: no limit, 0: just test). wait() results: 0 signalled,
// 1 time-out, 2 failure. set()/reset() return 0. The constructor throws
// jsOsException when its mutex or condition variable cannot be created.
// Thread safety: any thread may set, reset or wait; waits block only the caller.
// The event must outlive every waiter.
#pragma once

#include <cstdint>
#include <memory>

#include "qelToolsLib/jsbase.h"

namespace qelToolsLib {

class jsEventImpl;

class jsEvent : public jsBase {
 public:
  // startReset: 0 creates the event signalled, 1 non-signalled.
  // manualReset: true for a manual-reset event, false for automatic reset.
  explicit jsEvent(int startReset = 1, bool manualReset = false);
  ~jsEvent() override;

  int set();
  int reset();
  int wait(uint32_t timeoutMs = jsInfinite);

 private:
  std::unique_ptr<jsEventImpl> m_impl;
};

}  // namespace qelToolsLib

using qelToolsLib::jsEvent;
