// jslock.h - scoped guards: jsFastLock, jsRecursiveLock, jsRWLock (and jsSyncLock
// for the generic jsSync), all derived from jsLock.
//
// A guard locks its primitive when constructed and unlocks it when destroyed. It
// may be released early with release(); the destructor then does nothing. A lock
// call that fails (EDEADLK when the owner of a jsSync takes it again, say) throws
// jsOsException from the guard's constructor: a guard never exists without holding
// its lock, so code behind it never runs unprotected. The primitive must outlive the
// guard. A guard belongs to the thread that made it.
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

// Known to clang's thread-safety analysis as holding its jsFastSync for its scope.
class QEL_SCOPED_CAPABILITY jsFastLock : public jsLock {
 public:
  explicit jsFastLock(jsFastSync& sync) QEL_ACQUIRE(sync) : jsLock(&sync, sync.lock()) {}
  explicit jsFastLock(jsFastSync* sync) QEL_ACQUIRE(*sync) : jsFastLock(*sync) {}
  ~jsFastLock() override QEL_RELEASE() {}
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
