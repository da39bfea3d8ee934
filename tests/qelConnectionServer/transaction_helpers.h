// Transactions as the funnel sees them, for the core's tests: a caller's request, a
// remote client's poll, waiting for a completion and the code of a refusal.
#ifndef QEL_TESTS_TRANSACTION_HELPERS_H
#define QEL_TESTS_TRANSACTION_HELPERS_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/post_transaction.h"

namespace qeltest {

using handle = std::shared_ptr<qel::funneltunnel::post_transaction>;

// True when t->wait() returned: a hang detector for completions, not a timing. A
// transaction that never completes fails the test instead of hanging it (the waiting
// thread is left behind).
inline bool completes(const handle& t) {
  auto done = std::make_shared<std::promise<void>>();
  auto finished = done->get_future();
  std::thread([t, done] {
    t->wait();
    done->set_value();
  }).detach();
  return finished.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
}

inline handle caller(const std::string& body, const std::string& content_type = "") {
  auto r = std::make_shared<qel::funneltunnel::post_transaction>();
  r->set_resource("/qel");
  r->request_data.text = body;
  if (!content_type.empty()) r->set_header("Content-Type", content_type);
  return r;
}

// A poll of the remote client; with `flow_id` it answers that flow.
inline handle poll(const std::string& flow_id = "", const std::string& status = "",
                   const std::string& body = "") {
  auto p = std::make_shared<qel::funneltunnel::post_transaction>();
  p->set_resource("/qel/reverseConnection");
  if (!flow_id.empty()) p->set_header("X-QEL-Message-Id", flow_id);
  if (!status.empty()) p->set_header("X-QEL-Status-Code", status);
  p->request_data.text = body;
  return p;
}

// A poll of a remote client that names itself (X-QEL-Client); `kind` is its X-QEL-Poll
// ("presence", "final" or empty) and `instance` the X-QEL-Instance it echoes.
inline handle declared_poll(const std::string& client, const std::string& flow_id = "join",
                            const std::string& kind = "", const std::string& status = "",
                            const std::string& body = "", const std::string& instance = "") {
  handle p = poll(flow_id, status, body);
  p->request_extensions["X-QEL-Client"] = client;
  if (!kind.empty()) p->request_extensions["X-QEL-Poll"] = kind;
  if (!instance.empty()) p->request_extensions["X-QEL-Instance"] = instance;
  return p;
}

// The code of the funneltunnel_exception `f` throws; 0 when it throws none.
inline uint32_t failure_code(const std::function<void()>& f) {
  try {
    f();
  } catch (const qel::funneltunnel::funneltunnel_exception& e) {
    return e.code;
  }
  return 0;
}

}  // namespace qeltest

#endif  // QEL_TESTS_TRANSACTION_HELPERS_H
