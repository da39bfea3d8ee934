// jsmutex_pthread.h - jsFastSync, the fast (non-recursive) lock over a default
// pthread mutex. The core guards each table and queue with one, through jsFastLock.
//
// A thread must not lock a jsFastSync it already holds (that deadlocks). Results as
// for every jsSyncBase: pthread results, errno kept; the constructor throws
// jsOsException when the mutex cannot be created.
// Thread safety: any thread; only the holder unlocks.
#pragma once

#include <memory>

#include "qelToolsLib/jssync.h"
#include "qelToolsLib/qelThreadAnnotations.h"

namespace qelToolsLib {

class jsFastSyncImpl;

class QEL_CAPABILITY("mutex") jsFastSync : public jsSyncBase {
 public:
  jsFastSync();
  ~jsFastSync() override;
  int lock() override QEL_ACQUIRE();
  int unlock() override QEL_RELEASE();
  int tryLock() override QEL_TRY_ACQUIRE(0);

 private:
  std::unique_ptr<jsFastSyncImpl> m_impl;
};

}  // namespace qelToolsLib

using qelToolsLib::jsFastSync;
