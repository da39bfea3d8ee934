#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "fake_scs.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/known_headers.h"
#include "qelConnectionServer/listener.h"
#include "qelConnectionServer/request_body_policy.h"
#include "qelConnectionServer/token_table.h"
#include "qelStatusCodes.h"
#include "tests/support/fresh_process.h"

using namespace qel::funneltunnel;
namespace status = qel::status;

namespace {

// A processor whose behaviour each test supplies; it records what it was handed.
class scripted_processor : public processor<post_transaction> {
 public:
  template <class F>
  explicit scripted_processor(F f) : script(std::move(f)) {}
  void process(std::shared_ptr<post_transaction> t) override {
    seen_resource = t->get_resource();
    seen_body = t->request_data.text;
    seen_headers = t->all_headers();
    script(*t);
  }
  std::function<void(post_transaction&)> script;
  std::string seen_resource, seen_body;
  raw_transaction::header_map seen_headers;
};

class CallbackTest : public ::testing::Test {
 protected:
  void SetUp() override { fake_scs::install(); }
  void TearDown() override {
    if (token != 0) tokens().revoke(token);
    set_request_bodies_may_name_files(false);
  }
  uint32_t install(scripted_processor& p) { return token = tokens().add(&p); }
  uint32_t token = 0;
};

}  // namespace

TEST_F(CallbackTest, RequestSideIsCopiedAndResponseSideIsSent) {
  scripted_processor p([](post_transaction& t) {
    t.response_data.text = std::string("re\0ply", 6);
    t.set_status_code(201);
    t.set_header("X-QEL-Location", "/there");
    t.set_header("X-Not-Known", "never sent");
    t.complete();
  });
  const uint32_t token = install(p);
  auto r = fake_scs::post(token, "/qel",
                          {{"Content-Type", "text/xml"}, {"X-QEL-Method", "POST"}, {"Accept", "x"}},
                          std::string("bo\0dy", 5));
  EXPECT_EQ(r.rc, 0u);
  EXPECT_EQ(p.seen_resource, "/qel");
  EXPECT_EQ(p.seen_body, std::string("bo\0dy", 5));  // zero bytes kept
  EXPECT_EQ(p.seen_headers, (raw_transaction::header_map{{"Content-Type", "text/xml"},
                                                         {"X-QEL-Method", "POST"}}));
  EXPECT_EQ(r.status, 201);
  EXPECT_EQ(r.body, std::string("re\0ply", 6));  // whole body, exact length
  // Only known headers with values go out: the request's own plus what was set.
  EXPECT_EQ(r.headers, (std::map<std::string, std::string>{{"Content-Type", "text/xml"},
                                                           {"X-QEL-Location", "/there"},
                                                           {"X-QEL-Method", "POST"}}));
  EXPECT_EQ(fake_scs::get().frees, 2);  // both header values handed out were released
}

TEST_F(CallbackTest, NullBodyNoHeadersAndUntouchedTransactionGiveAnEmpty503) {
  scripted_processor p([](post_transaction& t) { t.complete(); });
  auto r = fake_scs::post(install(p), "/x", {}, nullptr);
  EXPECT_EQ(r.rc, 0u);
  EXPECT_TRUE(p.seen_body.empty());
  EXPECT_TRUE(p.seen_headers.empty());
  EXPECT_EQ(r.status, 503);
  EXPECT_TRUE(r.body.empty());
  EXPECT_TRUE(r.headers.empty());
}

TEST_F(CallbackTest, FailedAllocationStillSetsHeadersAndStatusAndStatusIsTakenModulo65536) {
  scripted_processor p([](post_transaction& t) {
    t.response_data.text = "lost";
    t.set_status_code(65536 + 404);
    t.set_header("Content-Type", "text/plain");
    t.complete();
  });
  fake_scs::get().fail_allocate = true;
  auto r = fake_scs::post(install(p), "/x", {}, "b");
  EXPECT_EQ(r.rc, 0u);
  EXPECT_TRUE(r.body_set);
  EXPECT_TRUE(r.body.empty());
  EXPECT_EQ(r.status, 404);
  EXPECT_EQ(r.headers.at("Content-Type"), "text/plain");
}

TEST_F(CallbackTest, ProcessorFailuresAndRevokedTokensBecomeTheResultWithNothingSet) {
  scripted_processor ours([](post_transaction&) { throw funneltunnel_exception("boom", 0xC7210099u); });
  auto r = fake_scs::post(install(ours), "/x", {{"Content-Type", "a"}}, "b");
  EXPECT_EQ(r.rc, 0xC7210099u);
  EXPECT_EQ(r.status, -1);
  EXPECT_TRUE(r.headers.empty());
  EXPECT_FALSE(r.body_set);
  tokens().revoke(token);

  scripted_processor foreign([](post_transaction&) { throw 42; });
  r = fake_scs::post(install(foreign), "/x", {}, "b");
  EXPECT_EQ(r.rc, status::GENERAL_FAILURE);
  scripted_processor standard([](post_transaction&) { throw std::logic_error("x"); });
  const uint32_t revoked = token;
  tokens().revoke(token);
  r = fake_scs::post(install(standard), "/x", {}, "b");
  EXPECT_EQ(r.rc, status::GENERAL_FAILURE);

  r = fake_scs::post(revoked, "/x", {}, "b");
  EXPECT_EQ(r.rc, status::CS_TOKEN_REVOKED);
  EXPECT_EQ(r.status, -1);

  EXPECT_EQ(POST_request_callback(1, token, nullptr, 0, nullptr, nullptr, nullptr),
            status::GENERAL_FAILURE);
}

TEST_F(CallbackTest, BodiesNamingFilesAreReadOnlyWhenTheOperatorOptsIn) {
  const std::string path = qeltest::temp_path("callback_test_body.txt");
  std::ofstream(path) << "file contents";
  scripted_processor p([](post_transaction& t) { t.complete(); });
  install(p);
  fake_scs::post(token, "/x", {}, path);
  EXPECT_EQ(p.seen_body, path);  // the default: a body is only a body

  set_request_bodies_may_name_files(true);
  fake_scs::post(token, "/x", {}, path);
  EXPECT_EQ(p.seen_body, "file contents");
  std::remove(path.c_str());
}

TEST_F(CallbackTest, BodyPolicyComesFromTheEnvironmentVariableOnlyForOne) {
  ::setenv(request_body_files_variable, "1", 1);
  load_request_body_policy();
  EXPECT_TRUE(request_bodies_may_name_files());
  ::setenv(request_body_files_variable, "yes", 1);
  load_request_body_policy();
  EXPECT_FALSE(request_bodies_may_name_files());
  ::unsetenv(request_body_files_variable);
  load_request_body_policy();
  EXPECT_FALSE(request_bodies_may_name_files());
}

TEST_F(CallbackTest, ListenerRegistersStartsAndIsRemovedWhenDestroyed) {
  uint32_t handle;
  {
    listener l("port = 1", "address = 127.0.0.1");
    handle = l.handle();
    l.add_POST_resource("/a", 7);
    l.add_POST_resource("/b", 7);
    EXPECT_EQ(fake_scs::get().starts[handle], 2);  // once per registration
    try {
      l.add_GET_resource("/c", 7);
      FAIL() << "GET registration accepted";
    } catch (const funneltunnel_exception& e) {
      EXPECT_STREQ(e.what(), "SCS_SERVER_RegisterOnGetData unsupported");
      EXPECT_EQ(e.code, status::GENERAL_FAILURE);
    }
  }
  EXPECT_EQ(fake_scs::get().listener_settings.at(0), "port = 1|address = 127.0.0.1");
  EXPECT_EQ(fake_scs::last_registration("/b").token, 7u);
  EXPECT_EQ(fake_scs::get().stopped, std::vector<uint32_t>{handle});
  EXPECT_EQ(fake_scs::get().removed, std::vector<uint32_t>{handle});
}
