#include "qelToolsLib/jssync.h"


#include "qelToolsLib/internal/jspthreadmutex.h"

namespace qelToolsLib {

class jsSyncImpl : public internal::jsPthreadMutex {
 public:
  jsSyncImpl() : jsPthreadMutex(PTHREAD_MUTEX_ERRORCHECK) {}
};

jsSync::jsSync() : m_impl(std::make_unique<jsSyncImpl>()) { setValid(true); }

jsSync::~jsSync() = default;

int jsSync::lock() {
  internal::jsErrnoKeeper keep;
  return m_impl->lock();
}

int jsSync::unlock() {
  internal::jsErrnoKeeper keep;
  return m_impl->unlock();
}

int jsSync::tryLock() {
  internal::jsErrnoKeeper keep;
  return m_impl->tryLock();
}

}  // namespace qelToolsLib
