#include "qelToolsLib/jssemaphore.h"

#include <semaphore.h>

#include <cerrno>
#include <new>

#include "qelToolsLib/internal/jssemresult.h"
#include "qelToolsLib/jsexception.h"

namespace qelToolsLib {

class jsSemaphoreImpl {
 public:
  explicit jsSemaphoreImpl(unsigned int initial) {
    if (sem_init(&m_sem, 0, initial) != 0)
      throw jsOsException("jsSemaphoreImpl::jsSemaphoreImpl::sem_init", errno);
  }
  ~jsSemaphoreImpl() { sem_destroy(&m_sem); }
  jsSemaphoreImpl(const jsSemaphoreImpl&) = delete;
  jsSemaphoreImpl& operator=(const jsSemaphoreImpl&) = delete;

  sem_t* native() noexcept { return &m_sem; }

 private:
  sem_t m_sem;
};

jsSemaphore::jsSemaphore(unsigned int initial, unsigned int /*maximum*/)
    : m_impl(new (std::nothrow) jsSemaphoreImpl(initial)) {
  setValid(m_impl != nullptr);
}

jsSemaphore::~jsSemaphore() = default;

int jsSemaphore::wait() {
  if (!m_impl) return jsWaitFailed;
  return internal::jsSemResult(sem_wait(m_impl->native()));
}

int jsSemaphore::timedWait(uint32_t timeoutMs) {
  if (!m_impl) return jsWaitFailed;
  return internal::jsSemTimedWait(m_impl->native(), timeoutMs);
}

int jsSemaphore::tryWait() {
  if (!m_impl) return jsWaitFailed;
  return internal::jsSemResult(sem_trywait(m_impl->native()));
}

int jsSemaphore::increment(unsigned int n) {
  if (!m_impl) return 0;
  int last = 1;
  for (unsigned int i = 0; i < n && last == 1; ++i)
    last = sem_post(m_impl->native()) == 0 ? 1 : 0;
  return last;
}

int jsSemaphore::value() const {
  int v = 0;
  if (m_impl) sem_getvalue(m_impl->native(), &v);
  return v;
}

}  // namespace qelToolsLib
