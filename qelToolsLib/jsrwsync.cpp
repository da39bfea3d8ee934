#include "qelToolsLib/jsrwsync.h"

#include <pthread.h>


#include "qelToolsLib/internal/jspthreadmutex.h"

namespace qelToolsLib {

class jsRWSyncImpl {
 public:
  jsRWSyncImpl() { internal::jsThrowIfFailed(pthread_rwlock_init(&m_lock, nullptr), "a rwlock"); }
  ~jsRWSyncImpl() { pthread_rwlock_destroy(&m_lock); }
  jsRWSyncImpl(const jsRWSyncImpl&) = delete;
  jsRWSyncImpl& operator=(const jsRWSyncImpl&) = delete;

  pthread_rwlock_t* native() noexcept { return &m_lock; }

 private:
  pthread_rwlock_t m_lock;
};

namespace {
// Runs one rwlock call with errno kept.
template <typename Call>
int callLock(jsRWSyncImpl* impl, Call call) {
  internal::jsErrnoKeeper keep;
  return call(impl->native());
}
}  // namespace

jsRWSync::jsRWSync() : m_impl(std::make_unique<jsRWSyncImpl>()) { setValid(true); }

jsRWSync::~jsRWSync() = default;

int jsRWSync::unlock() { return callLock(m_impl.get(), pthread_rwlock_unlock); }
int jsRWSync::readLock() { return callLock(m_impl.get(), pthread_rwlock_rdlock); }
int jsRWSync::writeLock() { return callLock(m_impl.get(), pthread_rwlock_wrlock); }
int jsRWSync::tryReadLock() { return callLock(m_impl.get(), pthread_rwlock_tryrdlock); }
int jsRWSync::tryWriteLock() { return callLock(m_impl.get(), pthread_rwlock_trywrlock); }

}  // namespace qelToolsLib
