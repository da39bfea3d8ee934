#include "qelToolsLib/jslock.h"

namespace qelToolsLib {

jsLock::jsLock(jsSyncBase* sync, int lockResult)
    : m_sync(sync), m_count(lockResult == 0 ? 1 : 0) {
  setValid(m_count > 0);
}

jsLock::~jsLock() { release(); }

int jsLock::release() {
  if (m_count <= 0) return 0;
  --m_count;
  return m_sync->unlock();
}

}  // namespace qelToolsLib
