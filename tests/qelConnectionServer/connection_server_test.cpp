#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "fake_scs.h"
#include "transaction_helpers.h"
#include "qelConnectionServer/connection_server.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/library_state.h"
#include "qelStatusCodes.h"
#include "tests/support/fresh_process.h"

using namespace qel::funneltunnel;
namespace status = qel::status;
using qeltest::failure_code;

namespace {

std::unique_ptr<connection_server> build(const std::string& links = "<links/>") {
  return std::make_unique<connection_server>("5.0.1", "port = 1", "reserved", "address = x",
                                             "uuid-1", "agent", "ns", "host.example", links,
                                             nullptr, true, &fake_scs::load);
}

class ConnectionServerTest : public ::testing::Test {
 protected:
  void SetUp() override { fake_scs::install(); }
};

}  // namespace

TEST_F(ConnectionServerTest, StartsListenersTwoToFourOnceAndNeverListenerOne) {
  auto server = build();
  auto& s = fake_scs::get();
  EXPECT_EQ(s.init_calls, 1);
  ASSERT_EQ(s.listener_settings.size(), 4u);
  for (const auto& settings : s.listener_settings) EXPECT_EQ(settings, "port = 1|address = x");
  EXPECT_EQ(s.starts.count(server->get_listener(1).handle()), 0u);
  for (int n = 2; n <= 4; ++n) EXPECT_EQ(s.starts[server->get_listener(n).handle()], 1) << n;
  EXPECT_EQ(fake_scs::last_registration("/qel").listener, server->get_listener(2).handle());
  EXPECT_EQ(fake_scs::last_registration("/qel/reverseConnection").listener,
            server->get_listener(3).handle());
  EXPECT_EQ(fake_scs::last_registration("/qel/sensor_services/management").listener,
            server->get_listener(4).handle());
  EXPECT_TRUE(s.stopped.empty());
}

TEST_F(ConnectionServerTest, ReplacingTheFunnelRegistersAnewAndRevokesTheOldTokens) {
  auto server = build();
  const uint32_t old_poll = fake_scs::last_registration("/qel/reverseConnection").token;
  const uint32_t old_caller = fake_scs::last_registration("/qel").token;
  reverse_funnel* old_funnel = server->funnel();

  server->set_reverse_connection(false);  // changes nothing
  EXPECT_EQ(server->funnel(), old_funnel);
  EXPECT_EQ(fake_scs::get().registrations.size(), 3u);

  server->set_reverse_connection(true);
  const uint32_t new_poll = fake_scs::last_registration("/qel/reverseConnection").token;
  const uint32_t new_caller = fake_scs::last_registration("/qel").token;
  EXPECT_NE(new_poll, old_poll);
  EXPECT_NE(new_caller, old_caller);
  EXPECT_EQ(fake_scs::get().starts[server->get_listener(2).handle()], 2);
  EXPECT_EQ(fake_scs::get().starts[server->get_listener(3).handle()], 2);
  // A late request for the replaced endpoints gets a clean error.
  EXPECT_EQ(fake_scs::post(old_poll, "/qel/reverseConnection", {}, "").rc, status::CS_TOKEN_REVOKED);
  EXPECT_EQ(fake_scs::post(old_caller, "/qel", {}, "").rc, status::CS_TOKEN_REVOKED);
}

TEST_F(ConnectionServerTest, FailedListenerUnwindsTheOnesBuiltBefore) {
  fake_scs::get().fail_add_listener_at = 3;
  EXPECT_EQ(failure_code([] { build(); }), 0xC7210107u);
  EXPECT_EQ(fake_scs::get().stopped, (std::vector<uint32_t>{2, 1}));
  EXPECT_EQ(fake_scs::get().removed, (std::vector<uint32_t>{2, 1}));
}

TEST_F(ConnectionServerTest, LoaderFailureIsPassedOnUnchanged) {
  auto failing = [](const char*) -> uint32_t { return 0xC7210155u; };
  EXPECT_EQ(failure_code([&] {
              connection_server("v", "", "", "", "u", "n", "ns", "d", "", nullptr, true, failing);
            }),
            0xC7210155u);
  EXPECT_TRUE(fake_scs::get().listener_settings.empty());
}

// A whole exchange through the callback, as the HTTP library would drive it.
TEST_F(ConnectionServerTest, CallerAndRemoteClientMeetThroughTheTunnel) {
  auto server = build();
  const uint32_t poll_token = fake_scs::last_registration("/qel/reverseConnection").token;
  const uint32_t caller_token = fake_scs::last_registration("/qel").token;

  auto caller = std::async(std::launch::async, [&] {
    return fake_scs::post(caller_token, "/qel", {{"Content-Type", "text/xml"}}, "<ask/>");
  });
  auto first = fake_scs::post(poll_token, "/qel/reverseConnection", {}, "");
  ASSERT_EQ(first.rc, 0u);
  EXPECT_EQ(first.status, 200);
  EXPECT_EQ(first.body, "<ask/>");
  EXPECT_EQ(first.headers.at("X-QEL-Location"), "/qel");
  EXPECT_EQ(first.headers.at("X-QEL-Method"), "POST");
  EXPECT_EQ(first.headers.at("Content-Type"), "text/xml");

  // The answering poll is parked afterwards; answer it from another thread.
  auto second = std::async(std::launch::async, [&] {
    return fake_scs::post(poll_token, "/qel/reverseConnection",
                          {{"X-QEL-Message-Id", first.headers.at("X-QEL-Message-Id")},
                           {"X-QEL-Status-Code", "202"}},
                          "<answer/>");
  });
  auto answered = caller.get();
  EXPECT_EQ(answered.rc, 0u);
  EXPECT_EQ(answered.status, 202);
  EXPECT_EQ(answered.body, "<answer/>");
  EXPECT_EQ(answered.headers, (std::map<std::string, std::string>{{"Content-Type", "text/xml"}}));
  // The answering poll is parked once the caller has been completed.
  for (int i = 0; i < 10000 && server->funnel()->tunnel().size() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(server->funnel()->tunnel().size(), 1u);
  EXPECT_EQ(second.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
  server->funnel()->time_out_poll(server->funnel()->tunnel().last_enqueue_time() + 29);
  auto timed_out = second.get();
  EXPECT_EQ(timed_out.status, 200);
  EXPECT_TRUE(timed_out.body.empty());
  EXPECT_TRUE(timed_out.headers.empty());
}

TEST_F(ConnectionServerTest, MalformedLinksFailTheStartAndUnwindEveryListener) {
  EXPECT_EQ(failure_code([] { build("<open>"); }), status::CS_LINKS_MALFORMED);
  EXPECT_EQ(fake_scs::get().removed, (std::vector<uint32_t>{4, 3, 2, 1}));
  EXPECT_TRUE(fake_scs::get().registrations.empty());

  const std::string path = qeltest::temp_path("connection_server_test_links.xml");
  std::ofstream(path) << "<a><b/></a>";
  EXPECT_EQ(checked_links_text(path), "<a><b/></a>");
  std::ofstream(path) << "<a>";
  EXPECT_EQ(failure_code([&] { checked_links_text(path); }), status::CS_LINKS_MALFORMED);
  std::remove(path.c_str());
  EXPECT_EQ(checked_links_text("plain text"), "plain text");
}

TEST_F(ConnectionServerTest, LibraryStateBuildsOnceAndRefusesEarlyReverseConnection) {
  library_state state;
  EXPECT_EQ(failure_code([&] { state.set_reverse_connection(true); }), status::CS_NOT_INITIALISED);
  EXPECT_EQ(failure_code([&] {
              state.init([]() -> std::unique_ptr<connection_server> {
                throw funneltunnel_exception("failed", 0xC7210155u);
              });
            }),
            0xC7210155u);
  EXPECT_EQ(state.server(), nullptr);  // a failed build leaves nothing

  state.init([] { return build(); });
  connection_server* first = state.server();
  ASSERT_NE(first, nullptr);
  int builds = 0;
  EXPECT_EQ(failure_code([&] {
              state.init([&] {
                ++builds;
                return build();
              });
            }),
            status::CS_ALREADY_INITIALISED);
  EXPECT_EQ(builds, 0);
  EXPECT_EQ(state.server(), first);
  EXPECT_EQ(fake_scs::get().listener_settings.size(), 4u);  // no second set of listeners
  state.set_reverse_connection(true);
  EXPECT_EQ(fake_scs::get().registrations.size(), 5u);
}

TEST_F(ConnectionServerTest, AnotherFamilysLibrarySeesOnlyTheStandardModesAndHeaderFlags) {
  for (const bool extended : {false, true}) {
    // A stricter library: standard values only. Unknown to the loader as one of ours,
    // it gets them at once; reported as one of ours, it refuses the extension values and
    // the core falls back to the standard ones.
    fake_scs::install(extended);
    fake_scs::get().strict = true;
    auto server = build();
    for (const char* resource : {"/qel", "/qel/reverseConnection", "/qel/sensor_services/management"})
      EXPECT_EQ(fake_scs::last_registration(resource).mode, 2u) << resource << " extended " << extended;
    auto caller = std::async(std::launch::async, [] {
      return fake_scs::post(fake_scs::last_registration("/qel").token, "/qel", {}, std::string("q"));
    });
    const auto polls = fake_scs::last_registration("/qel/reverseConnection").token;
    const auto carried = fake_scs::post(polls, "/qel/reverseConnection", {}, std::string());
    ASSERT_EQ(carried.body, "q");
    // The routing headers are still read (with flag 0 in the end) and route the answer.
    auto answer = std::async(std::launch::async, [&] {
      return fake_scs::post(polls, "/qel/reverseConnection",
                            {{"X-QEL-Message-Id", carried.headers.at("X-QEL-Message-Id")},
                             {"X-QEL-Status-Code", "207"}},
                            std::string("a"));
    });
    ASSERT_EQ(caller.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(caller.get().status, 207);
    server.reset();  // answers the poll that answered, parked since
    EXPECT_EQ(answer.get().status, 200);
    std::lock_guard<std::mutex> guard(fake_scs::get().mutex);
    const auto& flags = fake_scs::get().header_flags;
    EXPECT_EQ(std::count(flags.begin(), flags.end(), 1u) > 0, extended);  // tried only when ours
  }
  fake_scs::install();
}
