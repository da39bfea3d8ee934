// jsnamedsemaphore.h - jsNamedSemaphore, a counting semaphore over a named POSIX
// semaphore (sem_open), shared between processes by its name ("/name").
//
// The constructor opens the semaphore, creating it with the initial count (mode
// 0600) when it does not exist yet, and throws jsOsException when sem_open fails.
// The destructor closes it; nothing removes the name except unlink(). Results of the
// waits: 0 taken, 1 time-out / count is zero, 2 failure or closed; post() and close()
// return 0 or 2. Time-outs in milliseconds.
// Thread safety: wait/tryWait/post from any thread; close() and the destructor must
// not run while another thread uses the object.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "qelToolsLib/jsbase.h"

namespace qelToolsLib {

class jsNamedSemaphoreImpl;

class jsNamedSemaphore : public jsBase {
 public:
  explicit jsNamedSemaphore(const std::string& name, unsigned int initial = 0);
  ~jsNamedSemaphore() override;

  int wait();
  int timedWait(uint32_t timeoutMs);
  int tryWait();
  int post();
  int close();
  const std::string& name() const { return m_name; }

  // Removes the name from the system; 0 or 2.
  static int unlink(const std::string& name);

 private:
  std::string m_name;
  std::unique_ptr<jsNamedSemaphoreImpl> m_impl;
};

}  // namespace qelToolsLib

using qelToolsLib::jsNamedSemaphore;
