#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fake_scs.h"
#include "transaction_helpers.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/listener.h"
#include "qelConnectionServer/reverse_funnel.h"
#include "qelConnectionServer/token_table.h"
#include "qelStatusCodes.h"

using namespace qel::funneltunnel;
namespace status = qel::status;
using namespace qeltest;

namespace {

class FunnelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_scs::install();
    on = std::make_unique<listener>("", "");
    funnel = std::make_unique<reverse_funnel>(*on, table, slow);
    rce_token = funnel->connection().tokens_issued().at(0);
  }
  // A poll arriving on the reverse connection resource.
  void arrive(const handle& p) { tokens().dispatch(rce_token, p); }

  reverse_funnel::timing slow{600000, 28};  // the thread never wakes during a test
  flow_generator table;
  std::unique_ptr<listener> on;
  std::unique_ptr<reverse_funnel> funnel;
  uint32_t rce_token = 0;
};

}  // namespace

TEST_F(FunnelTest, InstallsThePollEndpointAndStartsItsListener) {
  auto r = fake_scs::last_registration("/qel/reverseConnection");
  EXPECT_EQ(r.listener, on->handle());
  EXPECT_EQ(r.token, rce_token);
  EXPECT_EQ(fake_scs::get().starts[on->handle()], 1);
}

TEST_F(FunnelTest, WaitingRequestIsCarriedByTheNextPollWithTunnelHeaders) {
  auto r = caller("B1", "text/xml");
  r->set_header("X-QEL-Message-Id", "caller's own");
  funnel->forward_request(r);
  EXPECT_EQ(funnel->outstanding().size(), 1u);

  auto p = poll();
  arrive(p);
  ASSERT_TRUE(completes(p));
  EXPECT_EQ(p->get_status_code(), 200u);
  EXPECT_EQ(p->response_data.text, "B1");
  EXPECT_EQ(p->find_header("X-QEL-Message-Id"), "1");
  EXPECT_EQ(p->find_header("X-QEL-Location"), "/qel");
  EXPECT_EQ(p->find_header("X-QEL-Method"), "POST");
  EXPECT_EQ(p->find_header("Content-Type"), "text/xml");
  EXPECT_EQ(p->find_header("X-QEL-Status-Code"), "");
  EXPECT_EQ(funnel->outstanding().size(), 0u);
  EXPECT_EQ(table.size(), 1u);  // out with the remote client, not yet answered
}

TEST_F(FunnelTest, ParkedPollCarriesTheNextRequestAtOnce) {
  auto p = poll();
  arrive(p);
  EXPECT_EQ(funnel->tunnel().size(), 1u);
  auto r = caller("B2");
  funnel->forward_request(r);
  ASSERT_TRUE(completes(p));
  EXPECT_EQ(p->response_data.text, "B2");
  EXPECT_EQ(funnel->tunnel().size(), 0u);
  EXPECT_EQ(funnel->outstanding().size(), 0u);
}

TEST_F(FunnelTest, AnswerCompletesTheCallerAndThePollGoesOnWithoutItsHeaders) {
  auto r = caller("question", "text/plain");
  funnel->forward_request(r);
  auto p1 = poll();
  arrive(p1);
  ASSERT_TRUE(completes(p1));
  const std::string id = p1->find_header("X-QEL-Message-Id");

  auto older = caller("next-1");
  auto newer = caller("next-2");
  funnel->forward_request(older);
  funnel->forward_request(newer);

  auto p2 = poll(id, "404", "answer");
  p2->set_header("Content-Type", "application/json");
  arrive(p2);
  ASSERT_TRUE(completes(r));
  EXPECT_EQ(r->get_status_code(), 404u);
  EXPECT_EQ(r->response_data.text, "answer");
  EXPECT_EQ(r->find_header("Content-Type"), "text/plain");  // its own, not the answer's
  // The answering poll carried the older waiting request, none of its own headers.
  ASSERT_TRUE(completes(p2));
  EXPECT_EQ(p2->response_data.text, "next-1");
  EXPECT_EQ(p2->find_header("Content-Type"), "");
  EXPECT_EQ(funnel->outstanding().size(), 1u);
}

TEST_F(FunnelTest, UnknownFlowIdFailsAndThePollIsNeitherServedNorParked) {
  funnel->forward_request(caller("waiting"));
  for (const char* id : {"77", "1"}) {
    try {
      arrive(poll(id, "200", "x"));
      FAIL() << "unknown flow accepted";
    } catch (const funneltunnel_exception& e) {
      EXPECT_STREQ(e.what(), "flow not found");
      EXPECT_EQ(e.code, status::GENERAL_FAILURE);
    }
  }
  EXPECT_EQ(funnel->tunnel().size(), 0u);
  EXPECT_EQ(funnel->outstanding().size(), 1u);  // still waiting for a real poll
}

TEST_F(FunnelTest, UnreadableOrOutOfRangeStatusGivesTheCaller502) {
  EXPECT_EQ(answer_status(""), 502u);
  EXPECT_EQ(answer_status("abc"), 502u);
  EXPECT_EQ(answer_status("-1"), 502u);
  EXPECT_EQ(answer_status("  204 No Content"), 204u);
  EXPECT_EQ(answer_status("599"), 599u);
  EXPECT_EQ(answer_status("200"), 200u);
  // Values the HTTP layer would refuse or send as something else.
  for (const char* bad : {"0", "101", "199", "600", "1000", "65736", "4294967497", "99999999999"})
    EXPECT_EQ(answer_status(bad), 502u) << bad;

  auto r = caller("q");
  funnel->forward_request(r);
  auto p1 = poll();
  arrive(p1);
  ASSERT_TRUE(completes(p1));
  arrive(poll(p1->find_header("X-QEL-Message-Id"), "", "body"));  // no status header
  ASSERT_TRUE(completes(r));
  EXPECT_EQ(r->get_status_code(), 502u);
  EXPECT_EQ(r->response_data.text, "body");
}

TEST_F(FunnelTest, ResetAnswersRequestsOutWith503AndDroppedPollsWithTheTimeOutAnswer) {
  auto r1 = caller("one");
  auto r2 = caller("two");
  auto p1 = poll();
  auto p2 = poll();
  funnel->forward_request(r1);
  arrive(p1);
  funnel->forward_request(r2);
  arrive(p2);
  ASSERT_TRUE(completes(p1));
  ASSERT_TRUE(completes(p2));
  auto parked = poll();
  parked->set_header("Content-Type", "kept");
  arrive(parked);
  EXPECT_EQ(funnel->tunnel().size(), 1u);
  auto waiting = caller("not yet carried");

  auto reset = poll();
  arrive(reset);
  ASSERT_TRUE(completes(r1));
  ASSERT_TRUE(completes(r2));
  EXPECT_EQ(r1->get_status_code(), 503u);
  EXPECT_TRUE(r1->response_data.text.empty());
  EXPECT_EQ(r2->get_status_code(), 503u);
  ASSERT_TRUE(completes(parked));
  EXPECT_EQ(parked->get_status_code(), 200u);
  EXPECT_TRUE(parked->response_data.text.empty());
  EXPECT_EQ(parked->find_header("X-QEL-Message-Id"), "");
  EXPECT_EQ(table.size(), 0u);
  // The reset poll itself is parked and carries the next request.
  EXPECT_EQ(funnel->tunnel().size(), 1u);
  EXPECT_EQ(funnel->tunnel().last_enqueue_time() != 0, true);
  funnel->forward_request(waiting);
  ASSERT_TRUE(completes(reset));
  EXPECT_EQ(reset->response_data.text, "not yet carried");
}

TEST_F(FunnelTest, TimeOutReleasesOnePollPerPassOnlyAfterTheQuietPeriod) {
  EXPECT_FALSE(funnel->time_out_poll(std::time(nullptr)));  // nothing parked
  auto a = poll();
  auto b = poll();
  funnel->serve_poll(a);  // parked directly: a second reset poll would drop the first
  funnel->serve_poll(b);
  const std::time_t last = funnel->tunnel().last_enqueue_time();
  EXPECT_FALSE(funnel->time_out_poll(last + 28));  // not later than last + 28
  EXPECT_TRUE(funnel->time_out_poll(last + 29));
  ASSERT_TRUE(completes(a));  // the oldest first
  EXPECT_EQ(a->get_status_code(), 200u);
  EXPECT_TRUE(a->response_data.text.empty());
  EXPECT_EQ(funnel->tunnel().size(), 1u);
  EXPECT_TRUE(funnel->time_out_poll(last + 29));
  ASSERT_TRUE(completes(b));
  EXPECT_FALSE(funnel->time_out_poll(last + 29));
}

TEST_F(FunnelTest, ThreadTimesOutParkedPollsAndDestructionReleasesEverything) {
  reverse_funnel::timing quick{5, -1};  // every pass releases a poll
  listener other("", "");
  auto fast = std::make_unique<reverse_funnel>(other, table, quick);
  const uint32_t token = fast->connection().tokens_issued().at(0);
  auto p = poll();
  tokens().dispatch(token, p);
  ASSERT_TRUE(completes(p));
  EXPECT_EQ(p->get_status_code(), 200u);

  // Destroying a funnel answers what it holds and revokes its endpoint.
  auto parked = poll();
  arrive(parked);
  auto queued_elsewhere = caller("q");
  funnel->forward_request(caller("carried"));  // taken by `parked`
  funnel->forward_request(queued_elsewhere);
  ASSERT_TRUE(completes(parked));
  funnel.reset();
  ASSERT_TRUE(completes(queued_elsewhere));
  EXPECT_EQ(queued_elsewhere->get_status_code(), 503u);
  EXPECT_THROW(arrive(poll()), funneltunnel_exception);
  fast.reset();
  EXPECT_THROW(tokens().dispatch(token, poll()), funneltunnel_exception);
}

// Requests and polls arriving together are paired under one lock: at the end nothing
// is left parked on either side and every request went out exactly once.
TEST_F(FunnelTest, ConcurrentRequestsAndPollsAreAllPaired) {
  constexpr int count = 200;
  std::vector<handle> callers, polls;
  for (int i = 0; i < count; ++i) {
    callers.push_back(caller("r" + std::to_string(i)));
    polls.push_back(poll());
  }
  std::thread request_side([&] {
    for (auto& r : callers) funnel->forward_request(r);
  });
  std::thread poll_side([&] {
    for (auto& p : polls) funnel->serve_poll(p);
  });
  request_side.join();
  poll_side.join();
  EXPECT_EQ(funnel->outstanding().size(), 0u);
  EXPECT_EQ(funnel->tunnel().size(), 0u);
  std::set<std::string> bodies, ids;
  for (auto& p : polls) {
    ASSERT_TRUE(completes(p));
    bodies.insert(p->response_data.text);
    ids.insert(p->find_header("X-QEL-Message-Id"));
  }
  EXPECT_EQ(bodies.size(), static_cast<size_t>(count));
  EXPECT_EQ(ids.size(), static_cast<size_t>(count));
  EXPECT_EQ(table.size(), static_cast<size_t>(count));
}
