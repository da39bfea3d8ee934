#include "qelToolsLib/jsmutex_pthread.h"


#include "qelToolsLib/internal/jspthreadmutex.h"

namespace qelToolsLib {

class jsFastSyncImpl : public internal::jsPthreadMutex {
 public:
  jsFastSyncImpl() : jsPthreadMutex(PTHREAD_MUTEX_DEFAULT) {}
};

jsFastSync::jsFastSync() : m_impl(std::make_unique<jsFastSyncImpl>()) { setValid(true); }

jsFastSync::~jsFastSync() = default;

int jsFastSync::lock() {
  internal::jsErrnoKeeper keep;
  return m_impl->lock();
}

int jsFastSync::unlock() {
  internal::jsErrnoKeeper keep;
  return m_impl->unlock();
}

int jsFastSync::tryLock() {
  internal::jsErrnoKeeper keep;
  return m_impl->tryLock();
}

}  // namespace qelToolsLib
