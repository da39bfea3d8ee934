#include "qelToolsLib/jssync.h"

#include <cerrno>
#include <new>

#include "qelToolsLib/internal/jspthreadmutex.h"

namespace qelToolsLib {

class jsSyncImpl : public internal::jsPthreadMutex {
 public:
  jsSyncImpl() noexcept : jsPthreadMutex(PTHREAD_MUTEX_ERRORCHECK) {}
};

jsSync::jsSync() : m_impl(new (std::nothrow) jsSyncImpl) {
  setValid(m_impl && m_impl->ok());
}

jsSync::~jsSync() = default;

int jsSync::lock() {
  internal::jsErrnoKeeper keep;
  return m_impl ? m_impl->lock() : EINVAL;
}

int jsSync::unlock() {
  internal::jsErrnoKeeper keep;
  return m_impl ? m_impl->unlock() : EINVAL;
}

int jsSync::tryLock() {
  internal::jsErrnoKeeper keep;
  return m_impl ? m_impl->tryLock() : EINVAL;
}

}  // namespace qelToolsLib
