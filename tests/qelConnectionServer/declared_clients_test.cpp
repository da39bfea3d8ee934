// Remote clients that declare themselves and the host's graceful stop: instance markers,
// flow ids that do not repeat across processes, answers that reach nobody, presence
// polls, final polls, a client that vanishes, and the steps of a stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "fake_scs.h"
#include "tests/support/polling.h"
#include "transaction_helpers.h"
#include "qelConnectionServer/connection_server.h"
#include "qelConnectionServer/extension_headers.h"
#include "qelConnectionServer/listener.h"
#include "qelConnectionServer/reverse_funnel.h"
#include "qelConnectionServer/token_table.h"
#include "qelConnectionServer/tunnel_counters.h"

using namespace qel::funneltunnel;
using namespace qeltest;

namespace {

class DeclaredClientTest : public ::testing::Test {
 protected:
  void SetUp() override { fake_scs::install(); }

  void open(uint32_t grace_s = 5) {
    reverse_funnel::options o;
    o.when = {600000, 28};  // the thread never wakes during a test
    o.client_grace_s = grace_s;
    on = std::make_unique<listener>("", "");
    funnel = std::make_unique<reverse_funnel>(*on, table, o);
    poll_token = funnel->connection().tokens_issued().at(0);
  }
  void arrive(const handle& p) { tokens().dispatch(poll_token, p); }
  // The flow id a poll was handed (it must complete with a request).
  static std::string carried(const handle& p) {
    EXPECT_TRUE(completes(p));
    return p->find_header("X-QEL-Message-Id");
  }
  static std::string extension(const handle& t, const char* name) {
    const auto found = t->response_extensions.find(name);
    return found == t->response_extensions.end() ? std::string() : found->second;
  }
  static bool answered_empty(const handle& p) {
    return completes(p) && p->get_status_code() == 200u && p->response_data.text.empty() &&
           p->find_header("X-QEL-Message-Id").empty();
  }

  flow_generator table;
  std::unique_ptr<listener> on;
  std::unique_ptr<reverse_funnel> funnel;
  uint32_t poll_token = 0;
};

}  // namespace

TEST_F(DeclaredClientTest, AnAnswerCompletesOnlyACallerOfTheHostInstanceItEchoes) {
  open();
  auto r = caller("q");
  funnel->forward_request(r);
  auto p = declared_poll("client-1");
  arrive(p);
  const std::string id = carried(p);
  const std::string instance = extension(p, "X-QEL-Instance");
  EXPECT_EQ(instance, host_instance());
  EXPECT_EQ(instance.size(), 16u);
  // The same id, echoing another host process's marker: taken, dropped, never delivered.
  const auto stale = counters().answers_stale.load();
  auto other = declared_poll("client-1", id, "", "200", "not yours", "0123456789abcdef");
  EXPECT_NO_THROW(arrive(other));
  EXPECT_FALSE(r->completed());
  EXPECT_EQ(extension(other, "X-QEL-Answer"), "dropped");
  EXPECT_EQ(counters().answers_stale.load(), stale + 1);
  auto right = declared_poll("client-1", id, "", "201", "yours", instance);
  arrive(right);
  ASSERT_TRUE(completes(r));
  EXPECT_EQ(r->get_status_code(), 201u);
  EXPECT_EQ(r->response_data.text, "yours");
  // A copy of the answer (sent again after a failed poll) is a duplicate, not an error;
  // the same copy from a plain poll is refused as the plain protocol says.
  auto copy = declared_poll("client-1", id, "", "201", "yours", instance);
  EXPECT_NO_THROW(arrive(copy));
  EXPECT_EQ(extension(copy, "X-QEL-Answer"), "duplicate");
  EXPECT_NE(failure_code([&] { arrive(poll(id, "201", "yours")); }), 0u);
}

TEST_F(DeclaredClientTest, PlainPollsSeeNoExtensionHeaderAndInvalidClientIdsAreIgnored) {
  open();
  for (const handle& p : {poll("join"), declared_poll("bad id with blanks"), declared_poll("")}) {
    funnel->forward_request(caller("x"));
    arrive(p);
    carried(p);
    EXPECT_TRUE(p->response_extensions.empty());
    EXPECT_EQ(p->holder(), 0u);
  }
}

TEST_F(DeclaredClientTest, AnswerForACallerWhoLeftIsTakenAndThePollGoesOn) {
  open();
  auto gone = caller("gone");
  funnel->forward_request(gone);
  auto p = poll();
  arrive(p);
  const std::string id = carried(p);
  ASSERT_TRUE(gone->withdraw());  // the caller closed its connection while out
  auto next = caller("next");
  funnel->forward_request(next);
  const auto before = counters().answers_for_callers_gone.load();
  auto late = poll(id, "200", "late");  // a plain poll: no 500, no reset
  EXPECT_NO_THROW(arrive(late));
  EXPECT_EQ(carried(late), std::string(late->find_header("X-QEL-Message-Id")));
  EXPECT_EQ(late->response_data.text, "next");  // it carries the next request
  EXPECT_EQ(counters().answers_for_callers_gone.load(), before + 1);
  EXPECT_FALSE(gone->completed());  // its own thread answers it
}

TEST_F(DeclaredClientTest, RandomFlowIdsDoNotStartAtOneAndAnotherProcesssIdsAreStale) {
  table.start_at_random();
  open();
  auto r = caller("q");
  funnel->forward_request(r);
  auto p = poll();
  arrive(p);
  const std::string id = carried(p);
  EXPECT_NE(id, "1");
  ASSERT_EQ(id.find_first_not_of("0123456789"), std::string::npos);  // still decimal
  // An id before this table's first one came from an earlier process: even a plain
  // poll's answer for it is dropped rather than refused, and completes nobody.
  const uint32_t earlier = static_cast<uint32_t>(std::stoul(id) - 1000u);
  const auto stale = counters().answers_stale.load();
  EXPECT_NO_THROW(arrive(poll(std::to_string(earlier), "200", "old host")));
  EXPECT_EQ(counters().answers_stale.load(), stale + 1);
  EXPECT_FALSE(r->completed());
  EXPECT_NE(failure_code([&] { arrive(poll("not-an-id", "200", "")); }), 0u);
  arrive(poll(id, "200", "mine"));
  ASSERT_TRUE(completes(r));
  EXPECT_EQ(r->response_data.text, "mine");
}

TEST_F(DeclaredClientTest, AVanishedClientsRequestsAre502AfterTheGraceWhileAPresentOnesWait) {
  open(1);
  auto held = caller("held");
  auto kept = caller("kept");
  funnel->forward_request(held);
  funnel->forward_request(kept);
  auto gone_poll = declared_poll("gone");
  arrive(gone_poll);
  const std::string gone_id = carried(gone_poll);
  auto stays_poll = declared_poll("stays");
  arrive(stays_poll);
  carried(stays_poll);
  auto gone_presence = declared_poll("gone", "join", "presence");
  auto stays_presence = declared_poll("stays", "join", "presence");
  arrive(gone_presence);
  arrive(stays_presence);
  EXPECT_EQ(funnel->clients().presence_parked(), 2u);
  const auto later = [](int s) { return std::chrono::steady_clock::now() + std::chrono::seconds(s); };
  EXPECT_EQ(funnel->release_vanished(later(10)), 0u);  // both keep a poll open
  ASSERT_TRUE(gone_presence->withdraw());  // its connection closed: killed
  EXPECT_EQ(funnel->release_vanished(later(0)), 0u);  // within the grace time
  EXPECT_EQ(funnel->release_vanished(later(3)), 1u);
  ASSERT_TRUE(completes(held));
  EXPECT_EQ(held->get_status_code(), 502u);
  EXPECT_NE(held->response_data.text.find("went away"), std::string::npos);
  EXPECT_FALSE(kept->completed());
  // The vanished client's late answer reaches nobody and is no error.
  auto late = declared_poll("gone", gone_id, "", "200", "late", host_instance());
  EXPECT_NO_THROW(arrive(late));
  EXPECT_EQ(extension(late, "X-QEL-Answer"), "dropped");
}

TEST_F(DeclaredClientTest, AFinalPollReleasesItsClientsPollsAndLeavesTheQueueToOthers) {
  open();
  auto a1 = declared_poll("a");
  auto a2 = declared_poll("a");
  auto b = declared_poll("b");
  auto a_presence = declared_poll("a", "join", "presence");
  arrive(a1);
  arrive(a2);
  arrive(b);
  arrive(a_presence);
  auto r = caller("for a");
  funnel->forward_request(r);
  const std::string id = carried(a1);  // the oldest parked poll
  // Client a stops: its last answer goes in a final poll, which takes nothing new.
  auto final_poll = declared_poll("a", id, "final", "200", "done", host_instance());
  arrive(final_poll);
  EXPECT_TRUE(answered_empty(final_poll));
  ASSERT_TRUE(completes(r));
  EXPECT_EQ(r->response_data.text, "done");
  EXPECT_TRUE(answered_empty(a2));
  EXPECT_TRUE(answered_empty(a_presence));
  auto late_join = declared_poll("a");
  arrive(late_join);
  EXPECT_TRUE(answered_empty(late_join));
  auto r2 = caller("for b");
  funnel->forward_request(r2);
  carried(b);
  EXPECT_EQ(b->response_data.text, "for b");
}

TEST_F(DeclaredClientTest, AStoppingFunnelRefusesCallersAndAnswersWhatIsOutAfterTheDrain) {
  open();
  auto answered_in_time = caller("out 1");
  auto never_answered = caller("out 2");
  funnel->forward_request(answered_in_time);
  funnel->forward_request(never_answered);
  auto p1 = poll();
  arrive(p1);
  const std::string id1 = carried(p1);
  auto p2 = poll("join");
  arrive(p2);
  carried(p2);
  auto queued = caller("queued");
  funnel->forward_request(queued);
  EXPECT_EQ(funnel->begin_stop(), 1u);
  ASSERT_TRUE(completes(queued));
  EXPECT_EQ(queued->get_status_code(), 503u);
  EXPECT_NE(queued->response_data.text.find("stopping"), std::string::npos);
  auto newcomer = caller("new");
  funnel->forward_request(newcomer);
  ASSERT_TRUE(completes(newcomer));
  EXPECT_EQ(newcomer->get_status_code(), 503u);
  // Answers still arrive during the drain.
  auto answer = poll(id1, "200", "in time");
  arrive(answer);
  ASSERT_TRUE(completes(answered_in_time));
  EXPECT_EQ(answered_in_time->response_data.text, "in time");
  EXPECT_FALSE(answer->completed());  // parked: nothing to carry
  EXPECT_EQ(funnel->finish_stop(), 1u);
  ASSERT_TRUE(completes(never_answered));
  EXPECT_EQ(never_answered->get_status_code(), 503u);
  EXPECT_NE(never_answered->response_data.text.find("stopped before"), std::string::npos);
  EXPECT_TRUE(answered_empty(answer));
  auto after = poll("join");
  arrive(after);
  EXPECT_TRUE(answered_empty(after));
}

namespace {

std::unique_ptr<connection_server> stopping_server(const std::string& tunnel_settings) {
  return std::make_unique<connection_server>("5.0.1", "port = 1", tunnel_settings, "", "uuid-1",
                                             "agent", "ns", "host.example", "<links/>", nullptr,
                                             true, &fake_scs::load);
}

// A caller whose request is out with the remote client (played by the test): its
// pending answer and the flow id it was handed.
std::future<fake_scs::response> caller_out(std::string& flow_id) {
  const auto callers = fake_scs::last_registration("/qel");
  const auto polls = fake_scs::last_registration("/qel/reverseConnection");
  auto answer = std::async(std::launch::async, [callers] {
    return fake_scs::post(callers.token, "/qel", {}, std::string("question"));
  });
  flow_id = fake_scs::post(polls.token, "/qel/reverseConnection", {}, std::string()).headers.at("X-QEL-Message-Id");
  return answer;
}

}  // namespace

TEST_F(DeclaredClientTest, ServerStopQuiescesCallersFirstWaitsForAnswersAndStopsListenersLast) {
  auto server = stopping_server("drain_timeout = 20");
  std::string id;
  auto out = caller_out(id);
  const auto started = std::chrono::steady_clock::now();
  std::thread stopper([&] { server->stop(false); });
  ASSERT_TRUE(qeltest::wait_until([&] {
    std::lock_guard<std::mutex> guard(fake_scs::get().mutex);
    return fake_scs::get().quiesced.size() >= 2;
  }, 20000));
  const uint32_t callers = server->get_listener(2).handle();
  const uint32_t registration = server->get_listener(4).handle();
  {
    std::lock_guard<std::mutex> guard(fake_scs::get().mutex);
    EXPECT_EQ(fake_scs::get().quiesced.at(0), callers);
    EXPECT_EQ(fake_scs::get().quiesced.at(1), registration);
    EXPECT_TRUE(fake_scs::get().stopped.empty());
  }
  const auto polls = fake_scs::last_registration("/qel/reverseConnection");
  auto answering = std::async(std::launch::async, [&] {
    return fake_scs::post(polls.token, "/qel/reverseConnection",
                          {{"X-QEL-Message-Id", id}, {"X-QEL-Status-Code", "200"}}, std::string("answer"));
  });
  ASSERT_EQ(out.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_EQ(out.get().body, "answer");
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));  // not the whole drain
  EXPECT_EQ(answering.get().status, 200);  // the poll that answered is let go empty
  std::lock_guard<std::mutex> guard(fake_scs::get().mutex);
  EXPECT_EQ(fake_scs::get().quiesced.back(), server->get_listener(3).handle());
  for (int n : {2, 3, 4})
    EXPECT_NE(std::count(fake_scs::get().stopped.begin(), fake_scs::get().stopped.end(),
                         server->get_listener(n).handle()), 0);
}

TEST_F(DeclaredClientTest, AStopNowCutsARunningDrainAndWhatIsOutGets503) {
  auto server = stopping_server("drain_timeout = 600");
  std::string id;
  auto out = caller_out(id);
  std::thread stopper([&] { server->stop(false); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  server->stop(true);  // a second signal
  stopper.join();
  ASSERT_EQ(out.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  const auto answer = out.get();
  EXPECT_EQ(answer.status, 503);
  EXPECT_NE(answer.body.find("stopped before"), std::string::npos);
  server->stop(false);  // once stopped, a further stop does nothing
}
