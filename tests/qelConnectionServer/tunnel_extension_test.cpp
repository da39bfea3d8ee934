// The tunnel beyond the plain protocol: join polls, callers and polls that give up,
// per-poll time-outs, the waiting bound and the caller deadline, funnel replacement,
// and the settings and reset warnings behind them.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>

#include "fake_scs.h"
#include "transaction_helpers.h"
#include "qelConnectionServer/connection_server.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/listener.h"
#include "qelConnectionServer/reset_monitor.h"
#include "qelConnectionServer/reverse_funnel.h"
#include "qelConnectionServer/token_table.h"
#include "qelConnectionServer/tunnel_settings.h"
#include "qelStatusCodes.h"

using namespace qel::funneltunnel;
namespace status = qel::status;
using namespace qeltest;

namespace {

class TunnelExtensionTest : public ::testing::Test {
 protected:
  void SetUp() override { fake_scs::install(); }

  void open(uint32_t caller_timeout_s = 0, uint32_t max_waiting = 0) {
    reverse_funnel::options o;
    o.when = {600000, 28};  // the thread never wakes during a test
    o.caller_timeout_s = caller_timeout_s;
    o.max_waiting_callers = max_waiting;
    on = std::make_unique<listener>("", "");
    funnel = std::make_unique<reverse_funnel>(*on, table, o);
    poll_token = funnel->connection().tokens_issued().at(0);
  }
  void arrive(const handle& p) { tokens().dispatch(poll_token, p); }
  // A poll that carried a request: its flow id.
  static std::string carried(const handle& p) {
    EXPECT_TRUE(completes(p));
    return p->find_header("X-QEL-Message-Id");
  }

  flow_generator table;
  std::unique_ptr<listener> on;
  std::unique_ptr<reverse_funnel> funnel;
  uint32_t poll_token = 0;
};

}  // namespace

TEST_F(TunnelExtensionTest, JoinPollsServeInParallelWithoutReleasingRequestsOut) {
  open();
  auto r1 = caller("one");
  auto r2 = caller("two");
  funnel->forward_request(r1);
  funnel->forward_request(r2);
  auto first = poll();  // the run's reset
  arrive(first);
  const std::string id1 = carried(first);
  auto second = poll("join");
  arrive(second);
  const std::string id2 = carried(second);
  EXPECT_NE(id1, id2);
  EXPECT_EQ(second->response_data.text, "two");
  // A further join finds nothing and is parked; it released nobody.
  auto idle = poll("join");
  arrive(idle);
  EXPECT_EQ(funnel->tunnel().size(), 1u);
  EXPECT_EQ(table.size(), 2u);
  arrive(poll(id2, "202", "answer two"));  // answered out of order
  ASSERT_TRUE(completes(r2));
  EXPECT_EQ(r2->get_status_code(), 202u);
  arrive(poll(id1, "201", "answer one"));
  ASSERT_TRUE(completes(r1));
  EXPECT_EQ(r1->response_data.text, "answer one");
  // A plain poll without id still resets: the parked joins get the empty answer, and
  // none of them echoes "join" back as if it were a flow id.
  arrive(poll());
  ASSERT_TRUE(completes(idle));
  EXPECT_EQ(idle->get_status_code(), 200u);
  EXPECT_EQ(idle->find_header("X-QEL-Message-Id"), "");
  EXPECT_EQ(idle->response_data.text, "");
}

TEST_F(TunnelExtensionTest, CallersAndPollsThatGaveUpAreSkippedAndLateAnswersDropped) {
  open();
  auto gone = caller("gone");
  auto stays = caller("stays");
  funnel->forward_request(gone);
  funnel->forward_request(stays);
  ASSERT_TRUE(gone->withdraw());  // its client closed the connection while queued
  auto p = poll();
  arrive(p);
  carried(p);
  EXPECT_EQ(p->response_data.text, "stays");  // the queued one that left never goes out
  // Out with the remote client when it gives up: the flow is forgotten, the answer is
  // taken and dropped, and the poll that brought it is parked like after any answer.
  const std::string id = p->find_header("X-QEL-Message-Id");
  ASSERT_TRUE(stays->withdraw());
  EXPECT_EQ(table.size(), 0u);
  auto late = poll(id, "200", "late");
  EXPECT_NO_THROW(arrive(late));
  EXPECT_EQ(funnel->tunnel().size(), 1u);
  EXPECT_FALSE(stays->completed());  // nobody completed it: its own thread answers
  ASSERT_TRUE(late->withdraw());
  // A parked poll whose client left is not handed a request.
  auto dead = poll("join");
  auto live = poll("join");
  arrive(dead);
  arrive(live);
  ASSERT_TRUE(dead->withdraw());
  auto next = caller("next");
  funnel->forward_request(next);
  carried(live);
  EXPECT_EQ(live->response_data.text, "next");
  EXPECT_FALSE(dead->completed());
}

TEST_F(TunnelExtensionTest, AnsweredRequestCannotBeWithdrawnAndAClaimedOneNotAnswered) {
  open();
  auto r = caller("q");
  funnel->forward_request(r);
  auto p = poll();
  arrive(p);
  const std::string id = carried(p);
  auto answer = poll(id, "200", "a");
  arrive(answer);
  ASSERT_TRUE(completes(r));
  EXPECT_FALSE(r->withdraw());  // its answer won the race: the waiter takes the answer
  EXPECT_EQ(r->response_data.text, "a");
}

TEST_F(TunnelExtensionTest, JoinedPollsTimeOutOneByOneAfterTheirOwnParkingTime) {
  open();
  auto a = poll("join");
  auto b = poll("join");
  arrive(a);
  arrive(b);
  a->parked_at = 1000;  // as if parked ten seconds apart
  b->parked_at = 1010;
  EXPECT_FALSE(funnel->time_out_poll(1028));
  EXPECT_TRUE(funnel->time_out_poll(1029));  // a's time is up, b's is not
  ASSERT_TRUE(completes(a));
  EXPECT_FALSE(b->completed());
  EXPECT_TRUE(funnel->time_out_poll(1039));
  ASSERT_TRUE(completes(b));
  EXPECT_EQ(b->get_status_code(), 200u);
  // After a plain reset the plain rule is back: nothing parked recently, one per pass.
  arrive(poll());
  auto c = poll();
  auto d = poll("1", "200", "");  // an answer for a flow nobody knows: not parked
  EXPECT_THROW(arrive(d), funneltunnel_exception);
  arrive(c);
  const std::time_t last = funnel->tunnel().last_enqueue_time();
  EXPECT_FALSE(funnel->time_out_poll(last + 28));
  EXPECT_TRUE(funnel->time_out_poll(last + 29));
  ASSERT_TRUE(completes(c));
}

TEST_F(TunnelExtensionTest, WaitingBoundRefusesTheCallerBeyondItAtOnce) {
  open(0, 2);
  auto r1 = caller("1");
  auto r2 = caller("2");
  auto r3 = caller("3");
  funnel->forward_request(r1);
  funnel->forward_request(r2);
  funnel->forward_request(r3);
  ASSERT_TRUE(completes(r3));
  EXPECT_EQ(r3->get_status_code(), 503u);
  EXPECT_EQ(r3->find_header("Content-Type"), "text/plain");
  EXPECT_NE(r3->response_data.text.find("2 callers are waiting"), std::string::npos);
  EXPECT_EQ(funnel->outstanding().size(), 2u);
  // Places come back when callers are answered or give up: out ones count too.
  auto p = poll();
  arrive(p);
  const std::string id = carried(p);
  auto r4 = caller("4");
  funnel->forward_request(r4);
  ASSERT_TRUE(completes(r4));  // r1 out, r2 queued: still two waiting
  EXPECT_EQ(r4->get_status_code(), 503u);
  ASSERT_TRUE(r2->withdraw());
  auto r5 = caller("5");
  funnel->forward_request(r5);
  EXPECT_FALSE(r5->completed());
  arrive(poll(id, "200", "done"));
  ASSERT_TRUE(completes(r1));
  EXPECT_EQ(funnel->settings().waiting->count(), 1u);  // r5
}

TEST_F(TunnelExtensionTest, CallerPastItsDeadlineIsAnswered504AndItsAnswerDropped) {
  auto server = std::make_unique<connection_server>(
      "5.0.1", "port = 1", "caller_timeout = 1\nmax_waiting_callers = 10", "", "uuid-1",
      "agent", "ns", "host.example", "<links/>", nullptr, true, &fake_scs::load);
  const auto callers = fake_scs::last_registration("/qel");
  const auto polls = fake_scs::last_registration("/qel/reverseConnection");
  auto slow = std::async(std::launch::async, [&] {
    return fake_scs::post(callers.token, "/qel", {{"Content-Type", "text/xml"}}, std::string("q"));
  });
  const auto carried_poll = fake_scs::post(polls.token, "/qel/reverseConnection", {}, std::string());
  const std::string id = carried_poll.headers.at("X-QEL-Message-Id");
  ASSERT_EQ(slow.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  const auto answer = slow.get();
  EXPECT_EQ(answer.status, 504);
  EXPECT_EQ(answer.headers.at("Content-Type"), "text/plain");
  EXPECT_NE(answer.body.find("did not answer in time"), std::string::npos);
  // The late answer is taken and dropped: the caller is gone. Its poll then carries
  // the next caller.
  auto late = std::async(std::launch::async, [&] {
    return fake_scs::post(polls.token, "/qel/reverseConnection",
                          {{"X-QEL-Message-Id", id}, {"X-QEL-Status-Code", "200"}}, std::string("late"));
  });
  auto next = std::async(std::launch::async, [&] {
    return fake_scs::post(callers.token, "/qel", {}, std::string("next"));
  });
  ASSERT_EQ(late.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  const auto carried_next = late.get();
  EXPECT_EQ(carried_next.rc, 0u);
  EXPECT_EQ(carried_next.body, "next");
  fake_scs::post(polls.token, "/qel/reverseConnection",
                 {{"X-QEL-Message-Id", carried_next.headers.at("X-QEL-Message-Id")},
                  {"X-QEL-Status-Code", "200"}},
                 std::string("for next"));
  EXPECT_EQ(next.get().body, "for next");
  EXPECT_EQ(server->tunnel().caller_timeout_s, 1u);
  EXPECT_EQ(server->funnel()->settings().waiting->count(), 0u);
}

TEST_F(TunnelExtensionTest, PollWithADoubledTunnelHeaderIsRefusedAndChangesNothing) {
  open();
  funnel->forward_request(caller("waiting"));
  auto p = poll();
  arrive(p);
  const std::string id = carried(p);
  auto doubled = poll(id, "200", "answer");
  doubled->mark_duplicate_tunnel_header();
  arrive(doubled);
  ASSERT_TRUE(completes(doubled));
  EXPECT_EQ(doubled->get_status_code(), 400u);
  EXPECT_EQ(table.size(), 1u);  // the flow is still open, the tunnel not reset
  EXPECT_EQ(funnel->tunnel().size(), 0u);
}

TEST_F(TunnelExtensionTest, ReplacementMovesQueuedCallersAndAFailureKeepsTheOldTunnel) {
  auto server = std::make_unique<connection_server>("5.0.1", "port = 1", "", "", "uuid-1",
                                                    "agent", "ns", "host.example", "<links/>",
                                                    nullptr, true, &fake_scs::load);
  auto queued = caller("queued");
  server->funnel()->forward_request(queued);
  reverse_funnel* old = server->funnel();
  // The new caller endpoint cannot be registered: the old funnel serves on.
  fake_scs::get().fail_register = "/qel";
  EXPECT_NE(failure_code([&] { server->set_reverse_connection(true); }), 0u);
  EXPECT_EQ(server->funnel(), old);
  fake_scs::get().fail_register.clear();
  const auto polls = fake_scs::last_registration("/qel/reverseConnection");
  auto answer = fake_scs::post(polls.token, "/qel/reverseConnection", {}, std::string());
  EXPECT_EQ(answer.body, "queued");  // the old funnel's poll endpoint is back
  // A successful replacement hands queued callers over instead of answering 503.
  auto second = caller("second");
  server->funnel()->forward_request(second);
  server->set_reverse_connection(true);
  EXPECT_NE(server->funnel(), old);
  EXPECT_FALSE(second->completed());
  const auto new_polls = fake_scs::last_registration("/qel/reverseConnection");
  EXPECT_EQ(fake_scs::post(new_polls.token, "/qel/reverseConnection", {}, std::string()).body,
            "second");
}

TEST(TunnelSettings, KnownKeysAreAppliedOtherLinesReportedBadValuesRefused) {
  std::vector<std::string> ignored;
  const auto s = read_tunnel_text(
      "# tunnel\ncaller_timeout = 30   # seconds\n\n[endpoint x]\nmax_waiting_callers=7\n"
      "poll_timeout = 5\ncolour = blue\njust words\ndrain_timeout = 0\nclient_grace = 9\n"
      "flow_ids = random\n",
      "reserved settings", ignored);
  EXPECT_EQ(s.caller_timeout_s, 30u);
  EXPECT_EQ(s.max_waiting_callers, 7u);
  EXPECT_EQ(s.poll_timeout_s, 5u);
  EXPECT_EQ(s.drain_timeout_s, 0u);
  EXPECT_EQ(s.client_grace_s, 9u);
  EXPECT_TRUE(s.random_flow_ids);
  ASSERT_EQ(ignored.size(), 3u);
  EXPECT_NE(ignored[1].find("unknown key colour"), std::string::npos);
  EXPECT_NE(ignored[2].find("line 8"), std::string::npos);
  const tunnel_settings plain = read_tunnel_text("", "reserved settings", ignored);
  EXPECT_EQ(plain.caller_timeout_s, 0u);
  EXPECT_EQ(plain.poll_timeout_s, 28u);
  EXPECT_EQ(plain.drain_timeout_s, 10u);
  EXPECT_FALSE(plain.random_flow_ids);  // the plain protocol's 1, 2, ...
  EXPECT_NE(describe_tunnel_settings(s).find("flow_ids = random\n"), std::string::npos);
  for (const char* bad : {"caller_timeout = -1", "caller_timeout = 1x", "poll_timeout = 0",
                          "max_waiting_callers = 99999999999", "caller_timeout = 1\ncaller_timeout = 2",
                          "flow_ids = maybe", "client_grace = 0"}) {
    try {
      read_tunnel_text(bad, "settings.conf", ignored);
      ADD_FAILURE() << bad;
    } catch (const tunnel_setting_error& e) {
      EXPECT_EQ(std::string(e.what()).rfind("settings.conf line ", 0), 0u) << e.what();
    }
  }
}

TEST(ResetMonitor, WarnsOnceAWindowWhenResetsComeTooOften) {
  reset_monitor monitor(3, 60);
  EXPECT_EQ(monitor.record(100), 0u);
  EXPECT_EQ(monitor.record(130), 0u);
  EXPECT_EQ(monitor.record(170), 0u);  // 100 has left the window: two within it
  EXPECT_EQ(monitor.record(171), 3u);
  EXPECT_EQ(monitor.record(172), 0u);  // warned within the last minute
  EXPECT_EQ(monitor.record(240), 0u);
  EXPECT_EQ(monitor.record(241), 0u);
  EXPECT_EQ(monitor.record(242), 3u);  // three within the window, a minute after the warning
  EXPECT_EQ(monitor.record(250), 0u);
}
