// jsthread.h - jsThread, a detached POSIX thread whose body is the subclass's run().
//
// Lifecycle: start() creates the thread; run() returns the exit code. stop(timeoutMs,
// force) sets the stop request and the stop event, may wait up to timeoutMs (in
// milliseconds) for the thread to end, and ends it forcibly when it did not end in
// time and force is set, or when no wait was possible (timeout 0, thread not started
// yet). run() learns that it must finish through stopRequested() and by sleeping in
// waitForStop(ms), which returns at once when stop() is called. The stop event is
// automatic-reset and starts signalled, so the very first waitForStop() returns at
// once (0) and consumes that signal.
//
// Forced end: the thread is cancelled (deferred POSIX cancellation) and stop() waits
// until it has ended. Cancellation acts at the next cancellation point (every toolkit
// wait, sleep, blocking I/O) and unwinds the thread's stack like an exception, so
// destructors run and locks held through guards are released; the thread never runs
// on after stop() returns 1, and the process goes on. Asynchronous ways (a signal, or
// asynchronous cancellation) could stop a thread inside malloc or while it holds a
// lock, which is why they are not used. Consequences for run(): do not catch (...)
// without rethrowing, do not reach a cancellation point inside a noexcept function
// (a destructor, for example) -- disable cancellation there (jsNoCancel) -- and a
// thread that computes without ever reaching a cancellation point cannot be ended
// forcibly (stop() then waits for it). When a thread stops itself forcibly it exits
// at once with the exit code 0xDEAD; a thread ended from outside also records 0xDEAD.
//
// Ownership: the jsThread owns its implementation state, which the running thread
// shares until it has ended, so a thread that finishes while its object is being
// destroyed touches no freed memory. A subclass must stop its thread in its own
// destructor: by the time ~jsThread runs (which ends a still-running thread
// forcibly), the subclass's members are gone. A thread must not destroy its own
// jsThread object.
// Thread safety: start()/stop()/the destructor from one controlling thread at a time
// (or from the thread itself); stopRequested()/waitForStop() from run(); the queries
// from any thread.
#pragma once

#include <pthread.h>

#include <cstdint>
#include <memory>
#include <string>

#include "qelToolsLib/jsbase.h"

namespace qelToolsLib {

class jsThread;
class jsThreadImpl;

// The process-wide hook that jsThread::hook() forwards to.
using jsThreadHook = unsigned long (*)(jsThread& thread, void* argument);

class jsThread : public jsBase {
 public:
  static constexpr int defaultPriority = 63;
  static constexpr unsigned long forcedExitCode = 0xDEAD;

  // priority: applied through the thread's scheduling parameters, clamped to the
  // range of the scheduling policy the thread inherits (under the normal policy the
  // range is 0..0, so it has no effect there).
  explicit jsThread(const std::string& name, int priority = defaultPriority);
  ~jsThread() override;

  // 1 when a thread was started or is still running (nothing new is started then),
  // 0 when the thread could not be created.
  virtual int start();
  // 0 when the thread ended within timeoutMs or was left running (force false);
  // 1 when it was ended forcibly (or no thread was running).
  virtual int stop(uint32_t timeoutMs, bool force);
  // The thread body; returns the exit code.
  virtual unsigned long run() = 0;
  // Forwards to the process-wide hook; 0 when none is set.
  virtual unsigned long hook(void* argument);

  static void setHook(jsThreadHook hook);

  bool stopRequested() const;
  // Sleeps up to timeoutMs on the stop event: 0 stop signalled, 1 time-out, 2 failure.
  int waitForStop(uint32_t timeoutMs);
  bool isRunning() const;
  unsigned long exitCode() const;
  // 0 when no thread runs.
  pthread_t threadId() const;
  const std::string& name() const { return m_name; }
  int priority() const { return m_priority; }

 private:
  std::string m_name;
  int m_priority;
  std::shared_ptr<jsThreadImpl> m_impl;
};

// Disables cancellation of the calling thread for its lifetime (restores the previous
// state afterwards): for code in a thread body that must not be ended half-way.
class jsNoCancel {
 public:
  jsNoCancel() noexcept;
  ~jsNoCancel();
  jsNoCancel(const jsNoCancel&) = delete;
  jsNoCancel& operator=(const jsNoCancel&) = delete;

 private:
  int m_old;
};

}  // namespace qelToolsLib

using qelToolsLib::jsNoCancel;
using qelToolsLib::jsThread;
using qelToolsLib::jsThreadHook;
