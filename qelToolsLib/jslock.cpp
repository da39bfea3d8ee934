#include "qelToolsLib/jslock.h"

#include "qelToolsLib/jsexception.h"

namespace qelToolsLib {

jsLock::jsLock(jsSyncBase* sync, int lockResult) : m_sync(sync), m_count(1) {
  if (lockResult != 0) throw jsOsException("cannot take the lock", lockResult);
  setValid(true);
}

jsLock::~jsLock() { release(); }

int jsLock::release() {
  if (m_count <= 0) return 0;
  --m_count;
  return m_sync->unlock();
}

}  // namespace qelToolsLib
