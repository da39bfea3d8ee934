// jssync.h - jsSyncBase, the interface of every lock primitive, and jsSync, the
// generic lock (an error-checking mutex: relocking by the owner or unlocking by
// another thread is refused with EDEADLK / EPERM instead of hanging).
//
// Results of lock(), unlock() and tryLock() are pthread results: 0, or an errno
// value (EBUSY (16) when tryLock finds the lock held). A lock whose mutex cannot be
// created throws jsOsException from its constructor. These calls keep errno
// unchanged. lock()/unlock()/try_lock() follow the standard Lockable names, so
// std::lock_guard, std::unique_lock and std::condition_variable_any work with every
// primitive.
// Thread safety: any thread may call any operation; the owner object must outlive
// every guard and every thread that uses it.
#pragma once

#include <memory>

#include "qelToolsLib/jsbase.h"

namespace qelToolsLib {

class jsSyncBase : public jsBase {
 public:
  virtual int lock() = 0;
  virtual int unlock() = 0;
  virtual int tryLock() = 0;
  bool try_lock() { return tryLock() == 0; }
};

class jsSyncImpl;

class jsSync : public jsSyncBase {
 public:
  jsSync();
  ~jsSync() override;
  int lock() override;
  int unlock() override;
  int tryLock() override;

 private:
  std::unique_ptr<jsSyncImpl> m_impl;
};

}  // namespace qelToolsLib

using qelToolsLib::jsSync;
using qelToolsLib::jsSyncBase;
