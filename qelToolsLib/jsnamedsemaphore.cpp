#include "qelToolsLib/jsnamedsemaphore.h"

#include <fcntl.h>
#include <semaphore.h>

#include <cerrno>
#include <new>

#include "qelToolsLib/internal/jssemresult.h"
#include "qelToolsLib/jsexception.h"

namespace qelToolsLib {

class jsNamedSemaphoreImpl {
 public:
  jsNamedSemaphoreImpl(const std::string& name, unsigned int initial)
      : m_sem(sem_open(name.c_str(), O_CREAT, 0600, initial)) {
    if (m_sem == SEM_FAILED)
      throw jsOsException("jsNamedSemaphoreImpl::jsNamedSemaphoreImpl::sem_open " + name, errno);
  }
  ~jsNamedSemaphoreImpl() { close(); }
  jsNamedSemaphoreImpl(const jsNamedSemaphoreImpl&) = delete;
  jsNamedSemaphoreImpl& operator=(const jsNamedSemaphoreImpl&) = delete;

  sem_t* native() noexcept { return m_sem; }
  int close() noexcept {
    if (m_sem == nullptr) return jsWaitFailed;
    int rc = sem_close(m_sem);
    m_sem = nullptr;
    return rc == 0 ? jsWaitSuccess : jsWaitFailed;
  }

 private:
  sem_t* m_sem;
};

jsNamedSemaphore::jsNamedSemaphore(const std::string& name, unsigned int initial)
    : m_name(name), m_impl(new (std::nothrow) jsNamedSemaphoreImpl(name, initial)) {
  setValid(m_impl != nullptr);
}

jsNamedSemaphore::~jsNamedSemaphore() = default;

int jsNamedSemaphore::wait() {
  if (!m_impl || !m_impl->native()) return jsWaitFailed;
  return internal::jsSemResult(sem_wait(m_impl->native()));
}

int jsNamedSemaphore::timedWait(uint32_t timeoutMs) {
  if (!m_impl || !m_impl->native()) return jsWaitFailed;
  return internal::jsSemTimedWait(m_impl->native(), timeoutMs);
}

int jsNamedSemaphore::tryWait() {
  if (!m_impl || !m_impl->native()) return jsWaitFailed;
  return internal::jsSemResult(sem_trywait(m_impl->native()));
}

int jsNamedSemaphore::post() {
  if (!m_impl || !m_impl->native()) return jsWaitFailed;
  return sem_post(m_impl->native()) == 0 ? jsWaitSuccess : jsWaitFailed;
}

int jsNamedSemaphore::close() { return m_impl ? m_impl->close() : jsWaitFailed; }

int jsNamedSemaphore::unlink(const std::string& name) {
  return sem_unlink(name.c_str()) == 0 ? jsWaitSuccess : jsWaitFailed;
}

}  // namespace qelToolsLib
