// The reverse tunnel over real HTTP: callers on /qel, a remote side played by the test
// on /qel/reverseConnection, and reverse registration.
#include <algorithm>
#include <cctype>

#include "tunnel_fixture.h"

namespace {

bool is_decimal(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string flow_of(const e2e::http_result& poll) { return poll.header("X-QEL-Message-Id"); }

}  // namespace

TEST_F(TunnelTest, ExampleExchangeStepByStep) {
  // 1. A reset poll with nothing to reset and nothing waiting is parked.
  auto poll1 = reset_poll();
  EXPECT_TRUE(still_waiting(poll1));
  // 2. A caller's request is carried by the parked poll at once; the caller waits.
  auto caller = call("B1", {"Content-Type: text/x-b1"});
  const auto carried = done(poll1);
  ASSERT_EQ("", carried.error);
  EXPECT_EQ(200, carried.status);
  const std::string flow = flow_of(carried);
  ASSERT_TRUE(is_decimal(flow)) << flow;
  if (tests_in_process() == 1) {
    EXPECT_EQ("1", flow);  // the first flow of the process
  }
  EXPECT_EQ("/qel", carried.header("X-QEL-Location"));
  EXPECT_EQ("POST", carried.header("X-QEL-Method"));
  EXPECT_EQ("text/x-b1", carried.header("Content-Type"));
  EXPECT_FALSE(carried.has_header("X-QEL-Status-Code"));
  EXPECT_EQ("B1", carried.body);
  EXPECT_TRUE(still_waiting(caller));
  // 3. The answer completes the caller with its own Content-Type; the poll is parked.
  auto poll2 = answer_poll(flow, "200", "A1");
  const auto answered = done(caller);
  EXPECT_EQ(200, answered.status);
  EXPECT_EQ("A1", answered.body);
  EXPECT_EQ("text/x-b1", answered.header("Content-Type"));
  EXPECT_FALSE(answered.has_header("X-QEL-Message-Id"));
  EXPECT_TRUE(still_waiting(poll2));
  // The next request gets the next flow id; a caller's own status header is passed on.
  auto caller2 = call("B2", {"Content-Type: text/x-b2", "X-QEL-Status-Code: 299"});
  const auto carried2 = done(poll2);
  EXPECT_EQ(std::to_string(std::stoul(flow) + 1), flow_of(carried2));
  EXPECT_EQ("299", carried2.header("X-QEL-Status-Code"));
  EXPECT_EQ("B2", carried2.body);
  answer_poll(flow_of(carried2), "200", "A2");
  EXPECT_EQ("A2", done(caller2).body);
}

TEST_F(TunnelTest, OnePollCarriesTheOlderOfTwoWaitingCallers) {
  auto first = call("first");
  settle();
  auto second = call("second");
  settle();
  const auto carried = done(reset_poll());
  EXPECT_EQ("first", carried.body);
  EXPECT_TRUE(still_waiting(second));
  auto poll2 = answer_poll(flow_of(carried), "200", "answer-1");
  EXPECT_EQ("answer-1", done(first).body);
  const auto carried2 = done(poll2);  // the newer one goes out with the next poll
  EXPECT_EQ("second", carried2.body);
  EXPECT_NE(flow_of(carried), flow_of(carried2));
  auto poll3 = answer_poll(flow_of(carried2), "200", "answer-2");
  EXPECT_EQ("answer-2", done(second).body);
  EXPECT_TRUE(still_waiting(poll3));
}

TEST_F(TunnelTest, AnswerWithStatus404ReachesTheCaller) {
  auto poll1 = reset_poll();
  settle();
  auto caller = call("q1", {"Content-Type: text/x-q"});
  const auto carried = done(poll1);
  auto next = call("q2");
  settle();
  auto poll2 = answer_poll(flow_of(carried), "404", "not here");
  const auto answered = done(caller);
  EXPECT_EQ(404, answered.status);
  EXPECT_EQ("not here", answered.body);
  EXPECT_EQ("text/x-q", answered.header("Content-Type"));
  // The same poll then carries the request that was waiting.
  const auto carried2 = done(poll2);
  EXPECT_EQ("q2", carried2.body);
  answer_poll(flow_of(carried2), "200", "found");
  EXPECT_EQ(200, done(next).status);
}

TEST_F(TunnelTest, TunnelResetReleasesRequestsOutAndParkedPolls) {
  auto a = call("a");
  settle();
  auto b = call("b");
  settle();
  const auto carried_a = done(reset_poll());
  ASSERT_EQ("a", carried_a.body);  // a is out with the remote side, b still waits
  auto poll2 = reset_poll();
  const auto released = done(a);
  EXPECT_EQ(503, released.status);
  EXPECT_EQ("", released.body);
  const auto carried_b = done(poll2);  // b survived the reset and goes out with it
  EXPECT_EQ("b", carried_b.body);
  auto poll3 = reset_poll();
  EXPECT_EQ(503, done(b).status);
  EXPECT_TRUE(still_waiting(poll3));
  // A reset drops the parked poll, which is answered at once and empty.
  auto poll4 = reset_poll();
  const auto dropped = done(poll3);
  EXPECT_EQ(200, dropped.status);
  EXPECT_EQ("", dropped.body);
  EXPECT_FALSE(dropped.has_header("X-QEL-Message-Id"));
  EXPECT_TRUE(still_waiting(poll4));
  // A released flow is gone: answering it is refused.
  EXPECT_EQ(500, done(answer_poll(flow_of(carried_a), "200", "late")).status);
}

TEST_F(TunnelTest, UnknownFlowIdIsRefusedWithoutSideEffects) {
  auto waiting = call("w");
  settle();
  const auto refused = done(answer_poll("987654321", "200", "x"));
  EXPECT_EQ(500, refused.status);
  EXPECT_FALSE(refused.has_header("X-QEL-Message-Id"));
  EXPECT_TRUE(still_waiting(waiting));  // nothing completed, nothing handed out
  const auto carried = done(reset_poll());
  EXPECT_EQ("w", carried.body);
  answer_poll(flow_of(carried), "200", "fine");
  EXPECT_EQ("fine", done(waiting).body);
  // An id that was answered already is unknown as well.
  EXPECT_EQ(500, done(answer_poll(flow_of(carried), "200", "twice")).status);
}

TEST_F(TunnelTest, CallerThatGivesUpIsNeverForwardedAndItsLateAnswerIsDropped) {
  // Queued when it leaves: never handed to the remote client.
  auto quitter = call("gone", {"Content-Type: text/plain"}, 300);
  EXPECT_NE("", done(quitter).error);  // gave up waiting
  settle();
  auto poll = reset_poll();
  auto stayer = call("stay");
  const auto carried = done(poll);
  EXPECT_EQ("stay", carried.body);
  // Out with the remote client when it leaves: its answer is taken and goes nowhere,
  // and the poll that brought it goes on as after any answer (parked, then it carries
  // the next caller): no 500 that would make a plain client reset the tunnel.
  auto leaver = call("leaving", {"Content-Type: text/plain"}, 1500);
  const auto carried2 = done(answer_poll(flow_of(carried), "200", "for you"));
  EXPECT_EQ("for you", done(stayer).body);
  EXPECT_EQ("leaving", carried2.body);
  EXPECT_NE("", done(leaver).error);
  settle();
  auto late = answer_poll(flow_of(carried2), "200", "for nobody");
  EXPECT_TRUE(still_waiting(late));
  auto next = call("next");
  const auto carried3 = done(late);
  EXPECT_EQ(200, carried3.status);
  EXPECT_EQ("next", carried3.body);
  answer_poll(flow_of(carried3), "200", "for next");
  EXPECT_EQ("for next", done(next).body);
}

TEST_F(TunnelTest, BodiesNamingFilesAreNotReplacedByTheirContents) {
  e2e::temp_dir dir;
  const std::string path = dir.file("secret.txt");
  e2e::write_file(path, "file contents must not travel");
  auto poll = reset_poll();
  settle();
  auto caller = call(path);
  const auto carried = done(poll);
  EXPECT_EQ(path, carried.body);
  answer_poll(flow_of(carried), "200", path);
  EXPECT_EQ(path, done(caller).body);
}

TEST_F(TunnelTest, ReverseRegistrationAnswersTheSameXmlEveryTime) {
  const auto first = e2e::http_post(server().url("/qel/sensor_services/management"), "");
  const auto second =
      e2e::http_post(server().url("/qel/sensor_services/management"), "<not xml", {"Content-Type: text/xml"});
  ASSERT_EQ("", first.error);
  EXPECT_EQ(200, first.status);
  EXPECT_EQ(200, second.status);
  EXPECT_EQ(first.body, second.body);
  for (const char* part : {"<?xml", e2e::test_agent_name, e2e::test_agent_uuid, e2e::test_dns_name,
                           "03BC0C40-1E32-4BF4-92C1-FE1E3A593FE3", "<links>e2e</links>"})
    EXPECT_NE(std::string::npos, first.body.find(part)) << part << " missing in " << first.body;
}

// An answer's status header that is missing, unreadable or a status HTTP cannot carry
// gives the caller 502 with the answer's body; doubled routing headers are refused.
TEST_F(TunnelTest, AnswerStatusesHttpCannotCarryGive502AndDoubledRoutingHeadersAre400) {
  auto poll = reset_poll();
  settle();
  auto caller = call("q");
  auto carried = done(poll);
  // Two message ids: refused, and nothing happens to the caller or the tunnel.
  auto doubled = answer_poll(flow_of(carried), "200", "to whom?", {"X-QEL-Message-Id: 999999"});
  EXPECT_EQ(400, done(doubled).status);
  EXPECT_TRUE(still_waiting(caller));
  const std::pair<const char*, long> cases[] = {{"", 502},    {"abc", 502}, {"x200", 502},
                                                {"201x", 201}, {"600", 502}, {"101", 502},
                                                {"65736", 502}};
  for (const auto& [status, expected] : cases) {
    SCOPED_TRACE(std::string("status header '") + status + "'");
    auto next = call(std::string("after ") + status);
    auto answer = answer_poll(flow_of(carried), status, std::string("body ") + status);
    const auto answered = done(caller);
    EXPECT_EQ(expected, answered.status);
    EXPECT_EQ(std::string("body ") + status, answered.body);
    carried = done(answer);  // the answering poll carried the next caller
    caller = next;
  }
  answer_poll(flow_of(carried), "201", "last");
  EXPECT_EQ(201, done(caller).status);
}
