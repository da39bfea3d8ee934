#include "qelToolsLib/jsmutex_pthread.h"

#include <cerrno>
#include <new>

#include "qelToolsLib/internal/jspthreadmutex.h"

namespace qelToolsLib {

class jsFastSyncImpl : public internal::jsPthreadMutex {
 public:
  jsFastSyncImpl() noexcept : jsPthreadMutex(PTHREAD_MUTEX_DEFAULT) {}
};

jsFastSync::jsFastSync() : m_impl(new (std::nothrow) jsFastSyncImpl) {
  setValid(m_impl && m_impl->ok());
}

jsFastSync::~jsFastSync() = default;

int jsFastSync::lock() {
  internal::jsErrnoKeeper keep;
  return m_impl ? m_impl->lock() : EINVAL;
}

int jsFastSync::unlock() {
  internal::jsErrnoKeeper keep;
  return m_impl ? m_impl->unlock() : EINVAL;
}

int jsFastSync::tryLock() {
  internal::jsErrnoKeeper keep;
  return m_impl ? m_impl->tryLock() : EINVAL;
}

}  // namespace qelToolsLib
