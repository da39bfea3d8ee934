// jsrmutex_pthread.h - jsRecursiveSync, a lock that its owner thread may take again.
//
// The owner's further lock() / tryLock() calls only count; each unlock() counts down
// and the last one releases the lock. tryLock() by another thread while the lock is
// held returns EBUSY (16) at once; unlock() by a thread that does not hold it returns
// EPERM. Results are pthread results, errno is kept; the constructor throws
// jsOsException when the mutex cannot be created.
// Thread safety: any thread.
#pragma once

#include <memory>

#include "qelToolsLib/jssync.h"

namespace qelToolsLib {

class jsRecursiveSyncImpl;

class jsRecursiveSync : public jsSyncBase {
 public:
  jsRecursiveSync();
  ~jsRecursiveSync() override;
  int lock() override;
  int unlock() override;
  int tryLock() override;

 private:
  std::unique_ptr<jsRecursiveSyncImpl> m_impl;
};

}  // namespace qelToolsLib

using qelToolsLib::jsRecursiveSync;
