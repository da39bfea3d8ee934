// Starting qelcs-host for the end-to-end tests.
#include "e2e_host.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

#include "e2e_support.h"

namespace e2e {

std::string local_url(int port, const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(port) + path;
}

std::string loopback_settings(int port) {
  return "address = 127.0.0.1\nport = " + std::to_string(port);
}

notify_socket::notify_socket(const std::string& path) : path_(path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) throw std::runtime_error("notify socket path too long: " + path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ::unlink(path.c_str());
  fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (fd_ >= 0) ::close(fd_);
    throw std::runtime_error("cannot bind the notify socket " + path + ": " + std::strerror(errno));
  }
}

notify_socket::~notify_socket() {
  ::close(fd_);
  ::unlink(path_.c_str());
}

bool notify_socket::ready_within(int timeout_ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!ready_) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    pollfd p{fd_, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char message[512];
    const ssize_t n = ::recv(fd_, message, sizeof message - 1, 0);
    if (n <= 0) continue;
    message[n] = '\0';
    // Assignments one a line; READY=1 may come with others.
    for (const char* line = message; line != nullptr && *line != '\0';) {
      if (std::strncmp(line, "READY=1", 7) == 0 && (line[7] == '\n' || line[7] == '\0')) ready_ = true;
      line = std::strchr(line, '\n');
      if (line != nullptr) ++line;
    }
  }
  return true;
}

host_process::host_process(const std::vector<std::string>& argv, const std::string& dir)
    : notify_socket(dir + "/host.notify"),
      child_process(argv, dir + "/host.out", dir, {"NOTIFY_SOCKET=" + dir + "/host.notify"}) {}

std::unique_ptr<host_process> run_host(std::vector<std::string> args, const std::string& dir) {
  args.insert(args.begin(), program_path("qelcs-host"));
  return std::make_unique<host_process>(args, dir);
}

bool serving(int port, host_process& host) {
  return wait_until([&] {
    return !host.running() ||
           (host.ready_within(100) &&
            http_post(local_url(port, "/qel/sensor_services/management"), "", {}, 2000).status == 200);
  }, 60000) && host.running();
}

}  // namespace e2e
