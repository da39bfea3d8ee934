#include "qelToolsLib/jsthreadimpl.h"

#include <cxxabi.h>
#include <sched.h>
#include <syslog.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <new>
#include <stdexcept>

#include "qelToolsLib/jslock.h"
#include "qelToolsLib/jsthread.h"

namespace qelToolsLib {

// Marks the thread ended when the thread body is left, whether run() returned, the
// thread was cancelled or it exited itself: the unwinding runs this destructor.
class jsThreadImpl::ExitMark {
 public:
  explicit ExitMark(jsThreadImpl& impl) noexcept : m_impl(impl) {}
  ~ExitMark() {
    int old;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &old);
    if (!m_returned) m_impl.m_exitCode.store(jsThread::forcedExitCode);
    m_impl.markEnded();
  }
  ExitMark(const ExitMark&) = delete;
  ExitMark& operator=(const ExitMark&) = delete;
  void returned() noexcept { m_returned = true; }

 private:
  jsThreadImpl& m_impl;
  bool m_returned = false;
};

jsThreadImpl::jsThreadImpl(jsThread* owner, const std::string& name, int priority)
    : m_owner(owner), m_name(name), m_priority(priority) {}

bool jsThreadImpl::ok() const {
  return m_stop.isValid() && m_ended.isValid() && m_state.isValid();
}

bool jsThreadImpl::running() const {
  jsFastLock hold(m_state);
  return m_tid != 0;
}

pthread_t jsThreadImpl::threadId() const {
  jsFastLock hold(m_state);
  return m_tid;
}

bool jsThreadImpl::calledByOwnThread() const {
  jsFastLock hold(m_state);
  return m_tid != 0 && pthread_equal(m_tid, pthread_self());
}

int jsThreadImpl::start() {
  jsFastLock hold(m_state);
  if (m_tid != 0) return 1;
  // A previous thread (if any) has ended: reset for the new one.
  m_stopRequested.store(false);
  m_started.store(false);
  m_exitCode.store(0);
  m_ended.reset();
  auto* self = new (std::nothrow) std::shared_ptr<jsThreadImpl>(shared_from_this());
  if (self == nullptr) return 0;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_attr_setscope(&attr, PTHREAD_SCOPE_SYSTEM);
  pthread_t tid;
  int rc = pthread_create(&tid, &attr, &jsThreadImpl::threadProc, self);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete self;
    m_ended.set();
    return 0;
  }
  m_tid = tid;
  return 1;
}

void* jsThreadImpl::threadProc(void* argument) {
  auto* handed = static_cast<std::shared_ptr<jsThreadImpl>*>(argument);
  std::shared_ptr<jsThreadImpl> self(std::move(*handed));
  delete handed;
  self->body();
  return nullptr;
}

void jsThreadImpl::body() {
  ExitMark mark(*this);
  m_started.store(true);
  applyPriority();
  syslog(LOG_DEBUG, "Started thread '%s' with ID %lu", m_name.c_str(),
         static_cast<unsigned long>(pthread_self()));
  unsigned long code = callRun();
  // From here on the thread finishes by itself; a late cancel must not cut it short.
  int old;
  pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &old);
  m_exitCode.store(code);
  mark.returned();
  syslog(LOG_DEBUG, "Thread '%s' with ID %lu exited with code %lu", m_name.c_str(),
         static_cast<unsigned long>(pthread_self()), code);
}

// The handler for abi::__forced_unwind binds no object (the unwinding carries none),
// which the undefined-behaviour sanitizer reports as a null reference; the check is
// switched off for this function only.
__attribute__((no_sanitize("undefined"))) unsigned long jsThreadImpl::callRun() {
  try {
    return m_owner->run();
  } catch (abi::__forced_unwind&) {
    throw;  // cancellation or pthread_exit: must unwind to the thread's start
  } catch (const std::exception& e) {
    syslog(LOG_ERR, "Exception detected in %s thread: %s", m_name.c_str(), e.what());
  } catch (...) {
    std::runtime_error e("Unhandled Exception");
    syslog(LOG_ERR, "Exception detected in %s thread: %s", m_name.c_str(), e.what());
  }
  std::abort();
}

void jsThreadImpl::applyPriority() const {
  int policy;
  sched_param param;
  if (pthread_getschedparam(pthread_self(), &policy, &param) != 0) return;
  int wanted = std::clamp(m_priority, sched_get_priority_min(policy),
                          sched_get_priority_max(policy));
  if (wanted == param.sched_priority) return;
  param.sched_priority = wanted;
  pthread_setschedparam(pthread_self(), policy, &param);
}

void jsThreadImpl::markEnded() {
  jsFastLock hold(m_state);
  m_tid = 0;
  m_ended.set();
}

int jsThreadImpl::stop(uint32_t timeoutMs, bool force) {
  // Whether a thread runs is decided before the request: a thread that ends at once
  // on the request has ended within the time-out, it was not ended forcibly.
  const bool wasRunning = running();
  m_stopRequested.store(true);
  m_stop.set();
  if (wasRunning && timeoutMs != 0 && m_started.load()) {
    if (m_ended.wait(timeoutMs) == jsWaitSuccess || !force) return 0;
  }
  forceEnd();
  return 1;
}

void jsThreadImpl::forceEnd() {
  if (calledByOwnThread()) {
    m_exitCode.store(jsThread::forcedExitCode);
    pthread_exit(reinterpret_cast<void*>(jsThread::forcedExitCode));
  }
  {
    jsFastLock hold(m_state);
    if (m_tid == 0) return;
    syslog(LOG_DEBUG, "Killing thread %lu from %lu", static_cast<unsigned long>(m_tid),
           static_cast<unsigned long>(pthread_self()));
    // m_tid is cleared only under m_state, so the thread still exists here.
    pthread_cancel(m_tid);
  }
  m_ended.wait(jsInfinite);
}

void jsThreadImpl::endForDestruction() {
  if (calledByOwnThread()) return;  // see jsthread.h: a thread must not destroy itself
  m_stopRequested.store(true);
  m_stop.set();
  forceEnd();
}

}  // namespace qelToolsLib
