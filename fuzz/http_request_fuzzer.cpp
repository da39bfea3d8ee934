// Fuzz target: one HTTP request, as raw bytes, through the HTTP service library on a
// loopback daemon. The library is started once per process through its C interface:
// one listener on 127.0.0.1 with two endpoints on ports of their own, both serving
// /echo, one of them behind a bearer token. Each input is sent over a fresh TCP
// connection to each endpoint; the sending side is then shut down and the answer read
// to the end. The library must answer with HTTP or close, within the time limit, and
// never crash or leak.
//
// Endpoints with a worker pool ('workers') are left out: their epoll daemon notices a
// client's shut-down sending side only at the connection time-out, so every
// incomplete request would cost the whole time-out.
//
// The /echo callback reads headers through the library (X-QEL-Message-Id as a single
// header), sets the status named by X-Fuzz-Status, copies Content-Type back, fails
// when X-Fuzz-Fail is present, and answers with the body it was given. /any takes any
// request (SCS_POST_ANY_REQUEST) and checks what the library hands on: a request-target
// and a header block of well-formed "Name: value" lines, whatever the input was.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "qelSessionConfigSvcs.h"

namespace {

constexpr int kAnswerSeconds = 10;  // far above any answer on loopback; below -timeout
const char kToken[] = "fuzz-token-0123456789";

std::mutex g_log_mutex;
std::vector<std::string> g_log;

void on_log(std::uintptr_t, std::uint32_t, const char* message, const char*) {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  g_log.emplace_back(message);
}

// A header of the running request, read through the library; empty when absent.
std::string header(const SCS_REQUEST* request, const char* name, std::uint32_t flags) {
  char* value = nullptr;
  if (SCS_SERVER_GetRequestHeader(request->request_handle, name, flags, &value) != 0) return "";
  std::string copy = value != nullptr ? value : "";
  SCS_Free(value);
  return copy;
}

std::uint32_t echo(std::uint32_t, std::uint32_t, const std::uint8_t* data, std::uint32_t length,
                   std::uint8_t** response, std::uint32_t* response_length,
                   const SCS_REQUEST* request) {
  header(request, "X-QEL-Message-Id", SCS_HEADER_SINGLE);
  const std::string status = header(request, "X-Fuzz-Status", 0);
  if (!status.empty()) {
    SCS_SERVER_SetHttpStatus(request->request_handle,
                             static_cast<std::uint16_t>(std::strtoul(status.c_str(), nullptr, 10)));
  }
  const std::string type = header(request, "Content-Type", 0);
  if (!type.empty())
    SCS_SERVER_AddResponseHeader(request->request_handle, "Content-Type", type.c_str());
  if (!header(request, "X-Fuzz-Fail", 0).empty()) return 0xC7219999u;
  if (data != nullptr && length > 0) {
    *response = static_cast<std::uint8_t*>(SCS_Allocate(length));
    if (*response == nullptr) return 0;
    std::memcpy(*response, data, length);
    *response_length = length;
  }
  return 0;
}

bool token_char(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u > 0x20 && u < 0x7F && std::strchr("()<>@,;:\\\"/[]?={}", c) == nullptr;
}

// Every line of the block is "token: value\r\n" with no control character in the value.
void check_header_block(const std::string& block) {
  std::size_t start = 0;
  while (start < block.size()) {
    const auto end = block.find("\r\n", start);
    FUZZ_CHECK(end != std::string::npos);
    const std::string line = block.substr(start, end - start);
    const auto colon = line.find(": ");
    FUZZ_CHECK(colon != std::string::npos && colon > 0);
    for (std::size_t i = 0; i < colon; ++i) FUZZ_CHECK(token_char(line[i]));
    for (std::size_t i = colon + 2; i < line.size(); ++i) {
      const auto u = static_cast<unsigned char>(line[i]);
      FUZZ_CHECK(u == '\t' || (u >= 0x20 && u != 0x7F));
    }
    start = end + 2;
  }
}

std::uint32_t any(std::uint32_t, std::uint32_t, const std::uint8_t*, std::uint32_t,
                  std::uint8_t**, std::uint32_t*, const SCS_REQUEST* request) {
  char* target = nullptr;
  FUZZ_CHECK(SCS_SERVER_GetRequestTarget(request->request_handle, &target) == 0);
  FUZZ_CHECK(target != nullptr && *target != '\0');
  SCS_Free(target);
  char* block = nullptr;
  FUZZ_CHECK(SCS_SERVER_GetRequestHeaders(request->request_handle, &block) == 0);
  FUZZ_CHECK(block != nullptr);
  check_header_block(block);
  SCS_Free(block);
  SCS_SERVER_AddResponseHeader(request->request_handle, "X-Method", request->method);
  const std::string status = header(request, "X-Fuzz-Status", 0);
  if (!status.empty()) {
    SCS_SERVER_SetHttpStatus(request->request_handle,
                             static_cast<std::uint16_t>(std::strtoul(status.c_str(), nullptr, 10)));
  }
  return 0;
}

std::string token_file() {
  char path[] = "/tmp/qel-fuzz-token-XXXXXX";
  const int fd = ::mkstemp(path);
  FUZZ_CHECK(fd >= 0);
  FUZZ_CHECK(::write(fd, kToken, sizeof kToken - 1) == static_cast<ssize_t>(sizeof kToken - 1));
  ::close(fd);
  return path;
}

// The ports the endpoints announced when the listener started.
std::vector<int> announced_ports() {
  std::vector<int> ports;
  std::lock_guard<std::mutex> lock(g_log_mutex);
  for (const std::string& line : g_log) {
    if (line.find("/echo at http://127.0.0.1:") == std::string::npos) continue;
    ports.push_back(std::atoi(line.substr(line.rfind(':') + 1).c_str()));
  }
  return ports;
}

std::vector<int> start_server() {
  static const mslLogSink sink{0, MSL_LOG_ERROR | MSL_LOG_WARNING | MSL_LOG_INFO, &on_log};
  FUZZ_CHECK(SCS_SERVER_Init("5.0", "fuzz-uuid", "fuzz", &sink) == 0);
  const std::string token = token_file();
  const std::string settings =
      "port = 0\nconnection_timeout = 5\nmax_body_size = 65536\n"
      "[endpoint threads]\nport = 0\nresources = /echo, /any\nconnection_timeout = 5\n"
      "[endpoint auth]\nport = 0\nresources = /echo, /any\nbearer_token_file = " +
      token + "\n";
  std::uint32_t listener = 0;
  FUZZ_CHECK(SCS_SERVER_AddListener(settings.c_str(), "", &listener) == 0);
  ::unlink(token.c_str());  // read when the listener was added
  FUZZ_CHECK(SCS_SERVER_RegisterOnPostData(listener, "/echo", 1, &echo, SCS_POST_MODE_BUFFERED) ==
             0);
  FUZZ_CHECK(SCS_SERVER_RegisterOnPostData(listener, "/any", 2, &any,
                                           SCS_POST_MODE_BUFFERED | SCS_POST_ANY_REQUEST) == 0);
  FUZZ_CHECK(SCS_SERVER_StartServer(listener) == 0);
  std::vector<int> ports = announced_ports();
  FUZZ_CHECK(ports.size() == 2);
  return ports;
}

int connect_to(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  FUZZ_CHECK(fd >= 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  FUZZ_CHECK(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
  return fd;
}

// Sends what the socket takes. The library may stop reading early (it answered
// already): sending then fails, which is fine.
void send_all(int fd, const std::uint8_t* data, std::size_t size) {
  for (std::size_t sent = 0; sent < size;) {
    const ssize_t n = ::send(fd, data + sent, size - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;  // libFuzzer's time-out alarm
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

// Reads until the library closes the connection, which it must do within the limit.
std::string read_to_end(int fd, int port) {
  using clock = std::chrono::steady_clock;
  const auto deadline = clock::now() + std::chrono::seconds(kAnswerSeconds);
  std::string answer;
  char buffer[4096];
  for (;;) {
    pollfd wait{fd, POLLIN, 0};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now());
    const int ready = ::poll(&wait, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      std::fprintf(stderr, "port %d: no end of the answer within %d s\n", port, kAnswerSeconds);
      FUZZ_CHECK(!"the library answers and closes the connection in time");
    }
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (n < 0 && errno == ECONNRESET)) return answer;
    FUZZ_CHECK(n > 0);
    answer.append(buffer, static_cast<std::size_t>(n));
  }
}

std::string exchange(int port, const std::uint8_t* data, std::size_t size) {
  const int fd = connect_to(port);
  send_all(fd, data, size);
  ::shutdown(fd, SHUT_WR);
  std::string answer = read_to_end(fd, port);
  ::close(fd);
  return answer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<int> ports = start_server();
  for (int port : ports) {
    const std::string answer = exchange(port, data, size);
    FUZZ_CHECK(answer.empty() || answer.compare(0, 7, "HTTP/1.") == 0);
  }
  return 0;
}
