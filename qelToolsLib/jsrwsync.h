// jsrwsync.h - jsRWSync, a reader/writer lock over pthread_rwlock_t.
//
// Any number of readers or one writer. lock()/tryLock() take the write lock;
// readLock()/tryReadLock() the read lock; unlock() releases either. The standard
// shared-lockable names (lock_shared, try_lock_shared, unlock_shared) are there for
// std::shared_lock. Results are pthread results, errno is kept; the constructor
// throws jsOsException when the lock cannot be created. Thread safety: any thread; a
// thread must not take it twice.
#pragma once

#include <memory>

#include "qelToolsLib/jssync.h"

namespace qelToolsLib {

class jsRWSyncImpl;

class jsRWSync : public jsSyncBase {
 public:
  jsRWSync();
  ~jsRWSync() override;
  int lock() override { return writeLock(); }
  int unlock() override;
  int tryLock() override { return tryWriteLock(); }
  int readLock();
  int writeLock();
  int tryReadLock();
  int tryWriteLock();

  void lock_shared() { readLock(); }
  bool try_lock_shared() { return tryReadLock() == 0; }
  void unlock_shared() { unlock(); }

 private:
  std::unique_ptr<jsRWSyncImpl> m_impl;
};

}  // namespace qelToolsLib

using qelToolsLib::jsRWSync;
