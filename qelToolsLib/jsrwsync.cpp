#include "qelToolsLib/jsrwsync.h"

#include <pthread.h>

#include <cerrno>
#include <new>

#include "qelToolsLib/internal/jspthreadmutex.h"

namespace qelToolsLib {

class jsRWSyncImpl {
 public:
  jsRWSyncImpl() noexcept : m_ok(pthread_rwlock_init(&m_lock, nullptr) == 0) {}
  ~jsRWSyncImpl() {
    if (m_ok) pthread_rwlock_destroy(&m_lock);
  }
  jsRWSyncImpl(const jsRWSyncImpl&) = delete;
  jsRWSyncImpl& operator=(const jsRWSyncImpl&) = delete;

  bool ok() const noexcept { return m_ok; }
  pthread_rwlock_t* native() noexcept { return &m_lock; }

 private:
  pthread_rwlock_t m_lock;
  bool m_ok;
};

namespace {
// Runs one rwlock call with errno kept; EINVAL when the lock does not exist.
template <typename Call>
int callLock(jsRWSyncImpl* impl, Call call) {
  internal::jsErrnoKeeper keep;
  return impl && impl->ok() ? call(impl->native()) : EINVAL;
}
}  // namespace

jsRWSync::jsRWSync() : m_impl(new (std::nothrow) jsRWSyncImpl) {
  setValid(m_impl && m_impl->ok());
}

jsRWSync::~jsRWSync() = default;

int jsRWSync::unlock() { return callLock(m_impl.get(), pthread_rwlock_unlock); }
int jsRWSync::readLock() { return callLock(m_impl.get(), pthread_rwlock_rdlock); }
int jsRWSync::writeLock() { return callLock(m_impl.get(), pthread_rwlock_wrlock); }
int jsRWSync::tryReadLock() { return callLock(m_impl.get(), pthread_rwlock_tryrdlock); }
int jsRWSync::tryWriteLock() { return callLock(m_impl.get(), pthread_rwlock_trywrlock); }

}  // namespace qelToolsLib
