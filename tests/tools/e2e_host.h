// qelcs-host as a child process of a test: starting it in a folder, and waiting until
// it serves. Free functions; any thread.
#ifndef QEL_TESTS_TOOLS_E2E_HOST_H
#define QEL_TESTS_TOOLS_E2E_HOST_H

#include <memory>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace e2e {

// "http://127.0.0.1:PORT" + path.
std::string local_url(int port, const std::string& path);

// Listener settings of one loopback endpoint serving every resource.
std::string loopback_settings(int port);

// Runs build/bin/qelcs-host with `args` in `dir`; its output goes to dir/host.out.
std::unique_ptr<child_process> run_host(std::vector<std::string> args, const std::string& dir);

// True once the host answers reverse registration on `port` (false if it exits first).
bool serving(int port, child_process& host);

}  // namespace e2e

#endif  // QEL_TESTS_TOOLS_E2E_HOST_H
