// Shared fixture of the HTTP service library tests: initialises the library with a
// log sink that records every line, adds and starts listeners on 127.0.0.1 with port
// 0 and reads the bound port back from the "serves ... at" log line; routes callbacks
// to per-test handlers by token. Each test case runs in its own process.
#ifndef QEL_TESTS_SCS_TEST_SUPPORT_H
#define QEL_TESTS_SCS_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "qelSessionConfigSvcs.h"
#include "tests/support/http_client.h"
#include "tests/support/polling.h"
#include "tests/support/raw_socket.h"

// What a test handler sees and answers.
struct TestRequest {
  std::uint32_t listener = 0;
  std::uint32_t handle = 0;
  std::string resource;
  std::string body;
  bool body_null = false;
};
using TestHandler = std::function<std::uint32_t(const TestRequest&, std::string& answer)>;

// The C callback registered for every test resource: finds the handler by token.
std::uint32_t test_callback(std::uint32_t listener, std::uint32_t token,
                            const std::uint8_t* data, std::uint32_t length,
                            std::uint8_t** response, std::uint32_t* response_length,
                            const SCS_REQUEST* request);

class ScsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // AddListener + the returned status; the handle goes to `handle`.
  std::uint32_t add(const std::string& settings_1, const std::string& settings_2,
                    std::uint32_t& handle);
  // Registers `resource` with `handler` on `listener`; returns the status.
  std::uint32_t serve(std::uint32_t listener, const std::string& resource, TestHandler handler,
                      std::uint32_t mode = SCS_POST_MODE_BUFFERED);
  // Starts `listener` (asserting success) and returns the port its last endpoint
  // announced for `resource`.
  int start(std::uint32_t listener, const std::string& resource);
  // Lines logged so far that contain `part`.
  std::vector<std::string> logged(const std::string& part) const;
  std::string url(int port, const std::string& resource, bool tls = false) const;

 private:
  static void on_log(std::uintptr_t context, std::uint32_t level, const char* message,
                     const char* function);
  mutable std::mutex log_mutex_;
  std::vector<std::string> log_lines_;
  mslLogSink sink_{};
};

// A gate that holds callbacks until it is opened; counts arrivals.
class Gate {
 public:
  void arrive_and_wait();
  // Waits until `count` callbacks have arrived; false after `seconds`.
  bool wait_for_arrivals(std::size_t count, int seconds);
  void open();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t arrived_ = 0;
  bool open_ = false;
};

// Waits until qeltest::thread_count() <= limit; false after `seconds`.
bool wait_for_threads_at_most(int limit, int seconds);
// Writes `contents` to `name` in a folder of this test process; returns the path.
std::string temp_file(const std::string& name, const std::string& contents);

// A POST of `body` to `path` as raw bytes, with "Connection: close" when `close`.
std::string raw_post(const std::string& path, const std::string& body, bool close = false);
// One whole answer from a kept-alive connection: headers and Content-Length bytes
// (what arrived, when `seconds` pass first).
std::string read_answer(int fd, int seconds);
// The body of a raw answer.
std::string body_of(const std::string& answer);

#endif  // QEL_TESTS_SCS_TEST_SUPPORT_H
