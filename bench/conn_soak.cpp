// conn_soak: does the host keep memory per closed connection? Starts qelcs-host on
// 127.0.0.1, sends registration requests each on a new connection that the server
// closes ("Connection: close"), and prints the host's resident set size (VmRSS)
// after a warm-up and after the soak. The HTTP service library serves each
// connection on a new thread, so anything kept per thread shows up here.
// Exit status 0 when RSS stayed flat (growth below --max-growth-kib), 1 otherwise.
#include <arpa/inet.h>
#include <limits.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/free_port.h"

namespace {

using qeltest::child_process;

struct soak_options {
  long connections = 100000;
  long warmup = 5000;
  int threads = 4;
  long max_growth_kib = 4096;
  std::string bin;  // folder of qelcs-host; default: beside this program
};

bool parse(int argc, char** argv, soak_options& o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const long value = std::atol(argv[i + 1]);
    if (name == "--connections") o.connections = value;
    else if (name == "--warmup") o.warmup = value;
    else if (name == "--threads") o.threads = static_cast<int>(value);
    else if (name == "--max-growth-kib") o.max_growth_kib = value;
    else if (name == "--bin") o.bin = argv[i + 1];
    else return false;
  }
  return argc % 2 == 1 && o.connections > 0 && o.warmup >= 0 && o.threads > 0;
}

std::string own_folder() {
  char path[PATH_MAX] = {0};
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  const std::string self = n > 0 ? std::string(path, static_cast<size_t>(n)) : "./x";
  return self.substr(0, self.rfind('/'));
}

// One POST on a new connection, read until the server closes it; true for a 200.
bool one_request(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  static const char request[] =
      "POST /qel/sensor_services/management HTTP/1.1\r\nHost: 127.0.0.1\r\n"
      "Connection: close\r\nContent-Length: 0\r\n\r\n";
  std::string answer;
  const auto length = static_cast<ssize_t>(sizeof request - 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      send(fd, request, sizeof request - 1, MSG_NOSIGNAL) == length) {
    char buffer[4096];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
      if (answer.size() < 64) answer.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return answer.compare(0, 12, "HTTP/1.1 200") == 0;
}

// `count` requests spread over `threads` client threads; the number that failed.
long drive(int port, long count, int threads) {
  std::atomic<long> next{0}, failed{0};
  std::vector<std::thread> clients;
  for (int t = 0; t < threads; ++t)
    clients.emplace_back([&] {
      while (next.fetch_add(1) < count)
        if (!one_request(port)) failed.fetch_add(1);
    });
  for (auto& c : clients) c.join();
  return failed.load();
}

// VmRSS of a process in KiB, or -1.
long rss_kib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.compare(0, 6, "VmRSS:") == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// RSS once the connection threads of the last requests have ended.
long settled_rss(pid_t pid) {
  std::this_thread::sleep_for(std::chrono::seconds(2));
  return rss_kib(pid);
}

bool wait_ready(child_process& host, int port) {
  for (int i = 0; i < 300 && host.running(); ++i) {
    if (one_request(port)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  soak_options o;
  if (!parse(argc, argv, o)) {
    std::fprintf(stderr, "usage: conn_soak [--connections N] [--warmup N] [--threads T] "
                         "[--max-growth-kib K] [--bin DIR]\n");
    return 2;
  }
  if (o.bin.empty()) o.bin = own_folder();
  const int port = qeltest::free_port();
  child_process host({o.bin + "/qelcs-host", "--listener-settings-1",
                      "address = 127.0.0.1\nport = " + std::to_string(port)},
                     "conn_soak.host.log");
  if (!wait_ready(host, port)) {
    std::fprintf(stderr, "conn_soak: qelcs-host did not start (see conn_soak.host.log)\n");
    return 1;
  }
  const long warm_failed = drive(port, o.warmup, o.threads);
  const long before = settled_rss(host.pid());
  const auto start = std::chrono::steady_clock::now();
  const long failed = drive(port, o.connections, o.threads);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  const long after = settled_rss(host.pid());
  const long growth = after - before;
  std::printf("closed connections: %ld (after %ld warm-up), %d client threads, %ld failed\n",
              o.connections, o.warmup, o.threads, failed + warm_failed);
  std::printf("time: %.1f s, %.0f connections/s\n", took.count(), o.connections / took.count());
  std::printf("host RSS: before %ld KiB, after %ld KiB, growth %ld KiB (%.1f bytes/connection)\n",
              before, after, growth, growth * 1024.0 / static_cast<double>(o.connections));
  const bool flat = growth < o.max_growth_kib && failed + warm_failed == 0;
  std::printf("%s (limit %ld KiB)\n", flat ? "RSS flat" : "RSS NOT flat or requests failed",
              o.max_growth_kib);
  host.stop(SIGTERM, 15000);
  return flat ? 0 : 1;
}
