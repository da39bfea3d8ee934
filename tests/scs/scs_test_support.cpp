#include "scs_test_support.h"

#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

std::mutex g_handlers_mutex;
std::vector<TestHandler> g_handlers;  // token - 1 -> handler

TestHandler handler_for(std::uint32_t token) {
  std::lock_guard<std::mutex> lock(g_handlers_mutex);
  return token >= 1 && token <= g_handlers.size() ? g_handlers[token - 1] : TestHandler();
}

}  // namespace

std::uint32_t test_callback(std::uint32_t listener, std::uint32_t token,
                            const std::uint8_t* data, std::uint32_t length,
                            std::uint8_t** response, std::uint32_t* response_length,
                            const SCS_REQUEST* request) {
  TestHandler handler = handler_for(token);
  if (!handler) return 0xC7219999u;
  TestRequest in;
  in.listener = listener;
  in.handle = request->request_handle;
  in.resource = request->resource;
  in.body_null = data == nullptr;
  if (data != nullptr) in.body.assign(reinterpret_cast<const char*>(data), length);
  std::string answer;
  const std::uint32_t result = handler(in, answer);
  if (!answer.empty()) {
    *response = static_cast<std::uint8_t*>(SCS_Allocate(static_cast<std::uint32_t>(answer.size())));
    std::memcpy(*response, answer.data(), answer.size());
    *response_length = static_cast<std::uint32_t>(answer.size());
  }
  return result;
}

void ScsTest::SetUp() {
  sink_ = mslLogSink{reinterpret_cast<std::uintptr_t>(this),
                     MSL_LOG_ERROR | MSL_LOG_WARNING | MSL_LOG_INFO, &ScsTest::on_log};
  ASSERT_EQ(0u, SCS_SERVER_Init("5.0", "uuid-1", "test-agent", &sink_));
}

void ScsTest::TearDown() { EXPECT_EQ(0u, SCS_SERVER_ShutDown()); }

void ScsTest::on_log(std::uintptr_t context, std::uint32_t level, const char* message,
                     const char* function) {
  auto* self = reinterpret_cast<ScsTest*>(context);
  std::lock_guard<std::mutex> lock(self->log_mutex_);
  self->log_lines_.push_back(std::to_string(level) + " " + function + ": " + message);
}

std::uint32_t ScsTest::add(const std::string& settings_1, const std::string& settings_2,
                           std::uint32_t& handle) {
  return SCS_SERVER_AddListener(settings_1.c_str(), settings_2.c_str(), &handle);
}

std::uint32_t ScsTest::serve(std::uint32_t listener, const std::string& resource,
                             TestHandler handler, std::uint32_t mode) {
  std::uint32_t token = 0;
  {
    std::lock_guard<std::mutex> lock(g_handlers_mutex);
    g_handlers.push_back(std::move(handler));
    token = static_cast<std::uint32_t>(g_handlers.size());
  }
  return SCS_SERVER_RegisterOnPostData(listener, resource.c_str(), token, &test_callback, mode);
}

int ScsTest::start(std::uint32_t listener, const std::string& resource) {
  EXPECT_EQ(0u, SCS_SERVER_StartServer(listener));
  const std::string prefix = "listener " + std::to_string(listener) + " endpoint";
  int port = -1;
  for (const std::string& line : logged(prefix)) {
    if (line.find(resource) == std::string::npos) continue;
    port = std::atoi(line.substr(line.rfind(':') + 1).c_str());
  }
  EXPECT_GT(port, 0) << "no serving line for " << resource;
  return port;
}

std::vector<std::string> ScsTest::logged(const std::string& part) const {
  std::lock_guard<std::mutex> lock(log_mutex_);
  std::vector<std::string> found;
  for (const std::string& line : log_lines_) {
    if (line.find(part) != std::string::npos) found.push_back(line);
  }
  return found;
}

std::string ScsTest::url(int port, const std::string& resource, bool tls) const {
  return std::string(tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(port) + resource;
}

void Gate::arrive_and_wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  ++arrived_;
  changed_.notify_all();
  changed_.wait(lock, [this] { return open_; });
}

bool Gate::wait_for_arrivals(std::size_t count, int seconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(seconds),
                           [&] { return arrived_ >= count; });
}

void Gate::open() {
  std::lock_guard<std::mutex> lock(mutex_);
  open_ = true;
  changed_.notify_all();
}

bool wait_for_threads_at_most(int limit, int seconds) {
  return qeltest::wait_until([limit] { return qeltest::thread_count() <= limit; }, seconds * 1000);
}

std::string temp_file(const std::string& name, const std::string& contents) {
  static const qeltest::temp_dir folder;  // one per test process
  qeltest::write_file(folder.file(name), contents);
  return folder.file(name);
}

std::string raw_post(const std::string& path, const std::string& body, bool close) {
  return "POST " + path + " HTTP/1.1\r\nHost: h\r\n" + (close ? "Connection: close\r\n" : "") +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string read_answer(int fd, int seconds) {
  std::string text;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (;;) {
    const auto end = text.find("\r\n\r\n");
    if (end != std::string::npos) {
      const auto at = text.find("Content-Length: ");
      const std::size_t length = at < end ? std::stoul(text.substr(at + 16)) : 0;
      if (text.size() >= end + 4 + length) return text;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return text;
    char buffer[4096];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return text;
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

std::string body_of(const std::string& answer) {
  const auto end = answer.find("\r\n\r\n");
  return end == std::string::npos ? "" : answer.substr(end + 4);
}
