#include "qelToolsLib/jsthread.h"

#include <atomic>
#include <new>

#include "qelToolsLib/jsthreadimpl.h"

namespace qelToolsLib {

namespace {
std::atomic<jsThreadHook> g_hook{nullptr};
}  // namespace

jsThread::jsThread(const std::string& name, int priority)
    : m_name(name), m_priority(priority) {
  try {
    m_impl = std::make_shared<jsThreadImpl>(this, name, priority);
  } catch (const std::bad_alloc&) {
    return;  // not valid; every operation reports failure
  }
  setValid(m_impl->ok());
}

jsThread::~jsThread() {
  if (m_impl) m_impl->endForDestruction();
}

int jsThread::start() { return m_impl && m_impl->ok() ? m_impl->start() : 0; }

int jsThread::stop(uint32_t timeoutMs, bool force) {
  return m_impl && m_impl->ok() ? m_impl->stop(timeoutMs, force) : 0;
}

unsigned long jsThread::hook(void* argument) {
  jsThreadHook h = g_hook.load();
  return h ? h(*this, argument) : 0;
}

void jsThread::setHook(jsThreadHook hook) { g_hook.store(hook); }

bool jsThread::stopRequested() const { return m_impl && m_impl->stopRequested(); }

int jsThread::waitForStop(uint32_t timeoutMs) {
  return m_impl ? m_impl->waitForStop(timeoutMs) : jsWaitFailed;
}

bool jsThread::isRunning() const { return m_impl && m_impl->running(); }

unsigned long jsThread::exitCode() const { return m_impl ? m_impl->exitCode() : 0; }

pthread_t jsThread::threadId() const { return m_impl ? m_impl->threadId() : 0; }

jsNoCancel::jsNoCancel() noexcept { pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &m_old); }

jsNoCancel::~jsNoCancel() {
  int ignored;
  pthread_setcancelstate(m_old, &ignored);
}

}  // namespace qelToolsLib
