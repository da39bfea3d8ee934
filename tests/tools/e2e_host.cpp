// Starting qelcs-host for the end-to-end tests.
#include "e2e_host.h"

#include "e2e_support.h"

namespace e2e {

std::string local_url(int port, const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(port) + path;
}

std::string loopback_settings(int port) {
  return "address = 127.0.0.1\nport = " + std::to_string(port);
}

std::unique_ptr<child_process> run_host(std::vector<std::string> args, const std::string& dir) {
  args.insert(args.begin(), program_path("qelcs-host"));
  return std::make_unique<child_process>(args, dir + "/host.out", dir);
}

bool serving(int port, child_process& host) {
  return wait_until([&] {
    return !host.running() ||
           http_post(local_url(port, "/qel/sensor_services/management"), "", {}, 2000).status == 200;
  }, 60000) && host.running();
}

}  // namespace e2e
