// jsthreadimpl.h - jsThreadImpl, the state a jsThread shares with its running thread:
// the stop event (signalled, automatic reset), the ended event (non-signalled, manual
// reset), the thread id (0 when no thread runs), the stop-requested and started flags
// and the exit code. Internal to the toolkit; users go through jsThread.
//
// Ownership: held by shared_ptr from the jsThread and from the running thread, so
// whichever lets go last frees it. The thread id and the ended event change together
// under m_state, which keeps a restart from mixing up an old thread's end with the
// new one's, and keeps a forced end from addressing a thread that has already gone.
#pragma once

#include <pthread.h>

#include <atomic>
#include <memory>
#include <string>

#include "qelToolsLib/jsevent.h"
#include "qelToolsLib/jsmutex_pthread.h"

namespace qelToolsLib {

class jsThread;

class jsThreadImpl : public std::enable_shared_from_this<jsThreadImpl> {
 public:
  jsThreadImpl(jsThread* owner, const std::string& name, int priority);
  jsThreadImpl(const jsThreadImpl&) = delete;
  jsThreadImpl& operator=(const jsThreadImpl&) = delete;

  bool ok() const;
  int start();
  int stop(uint32_t timeoutMs, bool force);
  // Called by ~jsThread: ends a running thread (unless the caller is that thread).
  void endForDestruction();

  bool stopRequested() const { return m_stopRequested.load(); }
  int waitForStop(uint32_t timeoutMs) { return m_stop.wait(timeoutMs); }
  bool running() const;
  unsigned long exitCode() const { return m_exitCode.load(); }
  pthread_t threadId() const;

 private:
  class ExitMark;
  static void* threadProc(void* argument);
  void body();
  unsigned long callRun();
  void applyPriority() const;
  bool calledByOwnThread() const;
  void forceEnd();
  void markEnded();

  jsThread* const m_owner;
  const std::string m_name;
  const int m_priority;
  jsEvent m_stop{0, false};
  jsEvent m_ended{1, true};
  mutable jsFastSync m_state;  // guards m_tid and keeps it in step with m_ended
  pthread_t m_tid = 0;
  std::atomic<bool> m_stopRequested{false};
  std::atomic<bool> m_started{false};
  std::atomic<unsigned long> m_exitCode{0};
};

}  // namespace qelToolsLib
