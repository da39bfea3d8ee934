// Small helpers of the end-to-end tests: where the build is, free loopback ports,
// temporary folders, files, polling for a condition and counting this process's threads.
// Free functions and one RAII folder type; any thread.
#ifndef QEL_TESTS_TOOLS_E2E_SUPPORT_H
#define QEL_TESTS_TOOLS_E2E_SUPPORT_H

#include <functional>
#include <string>

namespace e2e {

// The build folder (QEL_BUILD_DIR, set by CTest) and files inside it.
std::string build_dir();
std::string program_path(const std::string& name);  // build/bin/NAME
std::string library_dir();                           // build/lib

// A TCP port on 127.0.0.1 that was free a moment ago.
int free_port();

// Polls `condition` every 20 ms until it holds or `timeout_ms` passed.
bool wait_until(const std::function<bool()>& condition, int timeout_ms);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& text);

// Threads of this process right now.
int thread_count();

// A fresh folder under the system's temporary folder, removed with its contents.
class temp_dir {
 public:
  temp_dir();
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Timing scale: sanitizer builds run slower, so waits meant as "long enough for the
// server to have queued a request" grow with it (QEL_E2E_SLOW, default 1).
int settle_ms();

}  // namespace e2e

#endif  // QEL_TESTS_TOOLS_E2E_SUPPORT_H
