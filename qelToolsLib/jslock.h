// jslock.h - scoped guards: jsFastLock, jsRecursiveLock, jsRWLock (and jsSyncLock
// for the generic jsSync), all derived from jsLock.
//
// A guard locks its primitive when constructed and unlocks it when destroyed. It
// may be released early with release(); the destructor then does nothing. A guard
// whose lock call failed (invalid primitive) holds nothing: isValid() is false and
// it never unlocks. The primitive must outlive the guard. A guard belongs to the
// thread that made it.
#pragma once

#include "qelToolsLib/jsmutex_pthread.h"
#include "qelToolsLib/jsrmutex_pthread.h"
#include "qelToolsLib/jsrwsync.h"
#include "qelToolsLib/jssync.h"

namespace qelToolsLib {

class jsLock : public jsBase {
 public:
  ~jsLock() override;
  // Unlocks now when held; returns the unlock result (0 when nothing was held).
  int release();
  bool held() const { return m_count > 0; }

 protected:
  // Records the result of the lock call the subclass made on `sync`.
  jsLock(jsSyncBase* sync, int lockResult);

 private:
  jsSyncBase* m_sync;
  int m_count;
};

class jsFastLock : public jsLock {
 public:
  explicit jsFastLock(jsFastSync& sync) : jsLock(&sync, sync.lock()) {}
  explicit jsFastLock(jsFastSync* sync) : jsFastLock(*sync) {}
};

class jsRecursiveLock : public jsLock {
 public:
  explicit jsRecursiveLock(jsRecursiveSync& sync) : jsLock(&sync, sync.lock()) {}
  explicit jsRecursiveLock(jsRecursiveSync* sync) : jsRecursiveLock(*sync) {}
};

class jsSyncLock : public jsLock {
 public:
  explicit jsSyncLock(jsSync& sync) : jsLock(&sync, sync.lock()) {}
};

class jsRWLock : public jsLock {
 public:
  enum Mode { Read, Write };
  // The default is the write (exclusive) lock.
  explicit jsRWLock(jsRWSync& sync, Mode mode = Write)
      : jsLock(&sync, mode == Read ? sync.readLock() : sync.writeLock()) {}
};

}  // namespace qelToolsLib

using qelToolsLib::jsFastLock;
using qelToolsLib::jsLock;
using qelToolsLib::jsRecursiveLock;
using qelToolsLib::jsRWLock;
using qelToolsLib::jsSyncLock;
