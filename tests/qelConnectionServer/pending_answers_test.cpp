// Callers and polls answered later, with a service library that completes requests
// instead of keeping a thread in each callback: the same answers as a waiting
// callback, deadlines and leaving clients handled by the watch thread, and an answer
// for a request its listener already answered never reaching a later request of the
// same handle.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>

#include "fake_scs.h"
#include "qelConnectionServer/connection_server.h"
#include "qelConnectionServer/pending_answers.h"
#include "tests/support/polling.h"

using namespace qel::funneltunnel;

namespace {

using answer_future = std::future<fake_scs::response>;

class PendingAnswersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_scs::install(true);
    fake_scs::get().completes_later = true;
  }
  void TearDown() override { server.reset(); }

  void open(const std::string& tunnel_settings) {
    server = std::make_unique<connection_server>(
        "5.0.1", "port = 1", "answer_later = on\n" + tunnel_settings, "", "uuid-1", "agent", "ns", "host.example",
        "<links/>", nullptr, true, &fake_scs::load);
    callers = fake_scs::last_registration("/qel");
    polls = fake_scs::last_registration("/qel/reverseConnection");
  }
  answer_future call(const std::string& body) {
    return std::async(std::launch::async, [this, body] {
      return fake_scs::post(callers.token, "/qel", {{"Content-Type", "text/xml"}}, body);
    });
  }
  answer_future poll(const std::map<std::string, std::string>& headers = {},
                     const std::string& body = "") {
    return std::async(std::launch::async,
                      [this, headers, body] { return fake_scs::post(polls.token, "/qel/reverseConnection", headers, body); });
  }
  static fake_scs::response get(answer_future& f) {
    EXPECT_EQ(std::future_status::ready, f.wait_for(std::chrono::seconds(20)));
    return f.get();
  }
  // The answer for the request a poll carried, on the next poll.
  answer_future answer(const fake_scs::response& carried, const std::string& body) {
    return poll({{"X-QEL-Message-Id", carried.headers.at("X-QEL-Message-Id")}, {"X-QEL-Status-Code", "200"}},
                body);
  }
  static bool pending_count(std::size_t n) {
    return qeltest::wait_until([n] { return fake_scs::pending_handles().size() == n; }, 10000);
  }

  std::unique_ptr<connection_server> server;
  fake_scs::registration callers{}, polls{};
};

}  // namespace

TEST_F(PendingAnswersTest, CallersAndPollsAnsweredLaterGetWhatAWaitingCallbackGives) {
  {  // Only a host that asks gets it.
    connection_server plain("5.0.1", "port = 1", "", "", "uuid-1", "agent", "ns", "host.example",
                            "<links/>", nullptr, true, &fake_scs::load);
    EXPECT_EQ(&POST_request_callback, fake_scs::last_registration("/qel").callback);
    EXPECT_EQ(&POST_request_callback, fake_scs::last_registration("/qel/reverseConnection").callback);
  }
  open("");
  // Callers and polls take the callback that answers later; registration does not wait.
  EXPECT_NE(0u, callers.mode & SCS_POST_COMPLETES_LATER);
  EXPECT_EQ(&POST_request_callback_later, callers.callback);
  EXPECT_EQ(&POST_request_callback_later, polls.callback);
  EXPECT_EQ(0u, fake_scs::last_registration("/qel/sensor_services/management").mode & SCS_POST_COMPLETES_LATER);

  // A poll with nothing to carry is parked, pending; the caller completes it.
  auto parked = poll();
  ASSERT_TRUE(pending_count(1));
  auto caller = call("question");
  const fake_scs::response carried = get(parked);
  EXPECT_EQ(0u, carried.rc);
  EXPECT_EQ(200, carried.status);
  EXPECT_EQ("question", carried.body);
  EXPECT_EQ("text/xml", carried.headers.at("Content-Type"));
  // The next poll brings the answer and is parked in turn.
  auto next = answer(carried, "the answer");
  const fake_scs::response answered = get(caller);
  EXPECT_EQ(0u, answered.rc);
  EXPECT_EQ(200, answered.status);
  EXPECT_EQ("the answer", answered.body);
  ASSERT_TRUE(pending_count(1));
  server.reset();  // the funnel answers the parked poll as it goes
  EXPECT_EQ(200, get(next).status);
}

TEST_F(PendingAnswersTest, DeadlinesAndLeavingClientsAreAnsweredWithoutAWaitingThread) {
  open("caller_timeout = 1");
  auto late = call("nobody takes this");
  const fake_scs::response timed_out = get(late);
  EXPECT_EQ(504, timed_out.status);
  EXPECT_NE(std::string::npos, timed_out.body.find("did not answer in time"));

  // A caller still waiting after a moment is watched; when it leaves, it is answered
  // and never handed to a poll.
  auto leaving = call("withdrawn");
  ASSERT_TRUE(qeltest::wait_until([] { return fake_scs::pending_handles(true).size() == 1; }, 10000));
  fake_scs::client_leaves(fake_scs::pending_handles(true).at(0));
  const fake_scs::response gone = get(leaving);
  EXPECT_EQ(503, gone.status);
  EXPECT_NE(std::string::npos, gone.body.find("went away"));
  auto parked = poll();
  ASSERT_TRUE(pending_count(1));  // nothing to carry: the poll waits
  auto caller = call("kept");
  const fake_scs::response carried = get(parked);
  EXPECT_EQ("kept", carried.body);
  auto next = answer(carried, "for kept");
  EXPECT_EQ("for kept", get(caller).body);
  server.reset();
  get(next);
}

TEST_F(PendingAnswersTest, AnAnswerForARequestItsListenerAnsweredNeverReachesTheNextOneOfItsHandle) {
  open("");
  fake_scs::set_next_request(7000);
  auto first = call("first");
  ASSERT_TRUE(pending_count(1));
  // A stop answers the first caller; its transaction is still queued in the core.
  fake_scs::listener_answers_pending();
  EXPECT_EQ(503, get(first).status);
  // The next request gets the same handle (as after a wrap of the handles).
  fake_scs::set_next_request(7000);
  auto second = call("second");
  ASSERT_TRUE(pending_count(1));
  // The poll carries the older request; its answer finds no request of its own.
  auto carries_first = poll();
  const fake_scs::response carried_first = get(carries_first);
  EXPECT_EQ("first", carried_first.body);
  auto carries_second = answer(carried_first, "for first");
  const fake_scs::response carried_second = get(carries_second);
  EXPECT_EQ("second", carried_second.body);
  ASSERT_EQ(1u, fake_scs::pending_handles().size());  // the second caller still waits
  auto done = answer(carried_second, "for second");
  EXPECT_EQ("for second", get(second).body);
  server.reset();
  get(done);
}
