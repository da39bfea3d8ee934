// qelFileDescriptor.h - the owner of one open POSIX file descriptor: closes it on
// every path out. Not copyable. Used by one thread at a time.
#pragma once

#include <unistd.h>

namespace qelToolsLib {

class qelFileDescriptor {
 public:
  explicit qelFileDescriptor(int fd) noexcept : m_fd(fd) {}
  ~qelFileDescriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  qelFileDescriptor(const qelFileDescriptor&) = delete;
  qelFileDescriptor& operator=(const qelFileDescriptor&) = delete;

  // The descriptor; negative when the open it came from failed.
  int get() const noexcept { return m_fd; }

 private:
  int m_fd;
};

}  // namespace qelToolsLib
