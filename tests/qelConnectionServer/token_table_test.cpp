#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "qelConnectionServer/endpoint.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/token_table.h"
#include "qelStatusCodes.h"

using namespace qel::funneltunnel;
namespace status = qel::status;

namespace {

// Counts calls; optionally blocks inside process() until released.
class gate_processor : public processor<post_transaction> {
 public:
  void process(std::shared_ptr<post_transaction> t) override {
    std::unique_lock<std::mutex> lock(mutex);
    ++calls;
    inside = true;
    changed.notify_all();
    changed.wait(lock, [&] { return !hold; });
    inside = false;
    if (t) t->complete();
  }
  void release() {
    std::lock_guard<std::mutex> lock(mutex);
    hold = false;
    changed.notify_all();
  }
  void wait_inside() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return inside; });
  }
  std::mutex mutex;
  std::condition_variable changed;
  bool hold = false;
  bool inside = false;
  int calls = 0;
};

uint32_t revoked_code(token_table& table, uint32_t token) {
  try {
    table.dispatch(token, std::make_shared<post_transaction>());
  } catch (const funneltunnel_exception& e) {
    return e.code;
  }
  return 0;
}

}  // namespace

TEST(TokenTable, IdsDesignateTheirProcessorUntilRevoked) {
  token_table table;
  gate_processor a, b;
  const uint32_t ta = table.add(&a);
  const uint32_t tb = table.add(&b);
  EXPECT_NE(ta, 0u);
  EXPECT_NE(ta, tb);
  table.dispatch(ta, std::make_shared<post_transaction>());
  table.dispatch(tb, std::make_shared<post_transaction>());
  table.dispatch(tb, std::make_shared<post_transaction>());
  EXPECT_EQ(a.calls, 1);
  EXPECT_EQ(b.calls, 2);

  table.revoke(ta);
  EXPECT_EQ(revoked_code(table, ta), status::CS_TOKEN_REVOKED);
  EXPECT_EQ(revoked_code(table, 0), status::CS_TOKEN_REVOKED);
  EXPECT_EQ(revoked_code(table, 12345), status::CS_TOKEN_REVOKED);
  EXPECT_EQ(a.calls, 1);
  table.revoke(ta);  // twice is harmless
  EXPECT_EQ(table.size(), 1u);
}

// revoke() must not return while a call through the token is still running, so the
// owner may destroy the processor right after it.
TEST(TokenTable, RevokeWaitsForCallsInProgress) {
  token_table table;
  gate_processor gate;
  gate.hold = true;
  const uint32_t token = table.add(&gate);
  std::thread request([&] { table.dispatch(token, std::make_shared<post_transaction>()); });
  gate.wait_inside();
  std::atomic<bool> revoked{false};
  std::thread owner([&] {
    table.revoke(token);
    revoked = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(revoked.load());
  gate.release();
  request.join();
  owner.join();
  EXPECT_TRUE(revoked.load());
  EXPECT_EQ(gate.calls, 1);
}
