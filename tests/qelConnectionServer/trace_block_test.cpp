// Trace lines land under the block of the function they describe, so that a
// command such as "level POST_request_callback 43000" shows them. Each case
// writes its own ".udout" in a fresh folder, in a process of its own (the trace
// output is opened once per process), and reads it back.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fake_scs.h"
#include "qelConnectionServer/listener.h"
#include "qelConnectionServer/reverse_funnel.h"
#include "qelConnectionServer/token_table.h"
#include "tests/support/fresh_process.h"
#include "udebug/udebug.h"

using namespace qel::funneltunnel;

namespace {

// One printed line: the block it was written under and its message.
using traced_line = std::pair<std::string, std::string>;

// A trace line shows its block name ("name!") only when it changes; otherwise a
// filler stands for "same block as the line before".
std::vector<traced_line> parse_trace(const std::string& text) {
  std::vector<traced_line> lines;
  std::istringstream in(text);
  std::string line, block;
  while (std::getline(in, line)) {
    const std::size_t tab = line.find('\t');
    if (line.rfind("ud ", 0) != 0 || tab == std::string::npos) continue;
    std::string fields = line.substr(0, tab);
    std::istringstream prefix(fields);
    std::string ud, when, thread;
    prefix >> ud >> when >> thread;
    std::string rest = fields.substr(static_cast<std::size_t>(prefix.tellg()) + 1);
    while (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    rest = rest.rfind(". . ", 0) == 0 ? rest.substr(4) : rest.substr(rest.find(':') + 1);
    if (!rest.empty() && rest[0] != '.' && rest.find('!') != std::string::npos)
      block = rest.substr(0, rest.find('!'));
    lines.emplace_back(block, line.substr(tab + 1));
  }
  return lines;
}

class TraceBlockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_scs::install();
    char pattern[] = "/tmp/qelcore-trace-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    ud_init(dir.c_str(), 1);
  }
  void TearDown() override {
    if (token != 0) tokens().revoke(token);
    std::remove((dir + "/.udout").c_str());
    std::remove(dir.c_str());
  }
  static void command(const std::string& text) {
    std::string copy = text;
    ud_debug_input(fmemopen(&copy[0], copy.size(), "r"));
  }
  std::vector<traced_line> traced() const {
    std::ifstream in(dir + "/.udout");
    std::stringstream text;
    text << in.rdbuf();
    return parse_trace(text.str());
  }
  // The messages written under `block` that begin with `start`.
  std::vector<std::string> under(const std::string& block, const std::string& start) const {
    std::vector<std::string> found;
    for (const auto& l : traced())
      if (l.first == block && l.second.rfind(start, 0) == 0) found.push_back(l.second);
    return found;
  }

  std::string dir;
  uint32_t token = 0;
};

class answering_processor : public processor<post_transaction> {
 public:
  void process(std::shared_ptr<post_transaction> t) override {
    t->response_data.text = "hello";
    t->set_header("Content-Type", "text/plain");
    t->set_status_code(201);
    t->complete();
  }
};

}  // namespace

QEL_FRESH_PROCESS_TEST_F(TraceBlockTest, CallbackDetailLinesAreWrittenUnderTheCallbackBlock) {
  command("level POST_request_callback 43000\n");
  answering_processor p;
  token = tokens().add(&p);
  auto r = fake_scs::post(token, "/qel", {}, "ping");
  ASSERT_EQ(r.rc, 0u);
  ASSERT_EQ(r.body, "hello");

  const std::string cb = "POST_request_callback";
  EXPECT_EQ(under(cb, "processor is").size(), 1u);
  EXPECT_EQ(under(cb, "posted_data ping").size(), 1u);
  EXPECT_EQ(under(cb, "use count ").size(), 3u);
  EXPECT_EQ(under(cb, "*response_data ").size(), 1u);
  EXPECT_EQ(under(cb, "response 5:  |hello|").size(), 1u);
  EXPECT_EQ(under(cb, "adding header Content-Type = text/plain").size(), 1u);
  for (const auto& l : traced()) EXPECT_EQ(l.first, cb) << l.second;  // nothing else is on

  fake_scs::get().fail_allocate = true;
  r = fake_scs::post(token, "/qel", {}, "ping");
  EXPECT_EQ(r.rc, 0u);
  EXPECT_EQ(under(cb, "could not allocate memory to hold response data").size(), 1u);
}

QEL_FRESH_PROCESS_TEST_F(TraceBlockTest, HeaderLinesAreWrittenUnderCreateTransaction) {
  command("level create_transaction 42000\n");
  answering_processor p;
  token = tokens().add(&p);
  ASSERT_EQ(fake_scs::post(token, "/qel", {{"Content-Type", "text/xml"}}, "x").rc, 0u);
  EXPECT_EQ(under("create_transaction", "processing header ").size(), 5u);
  EXPECT_EQ(under("create_transaction", "got header value text/xml").size(), 1u);
  EXPECT_TRUE(under("POST_request_callback", "").empty());  // its level stayed low
}

QEL_FRESH_PROCESS_TEST_F(TraceBlockTest, TimeOutPassIsTracedUnderTheThreadBlock) {
  command("level reverse_funnel::_doWork 42000\n");
  listener on("", "");
  flow_generator table;
  reverse_funnel funnel(on, table, reverse_funnel::timing{20, 28});
  const std::string text = "empty queue -- no reverse tunnel transaction to timeout";
  // Waits for the thread's first pass (bounded: a hang detector, not a timing).
  for (int i = 0; i < 1000 && under("reverse_funnel::_doWork", text).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(under("reverse_funnel::_doWork", text).empty());
  EXPECT_FALSE(under("reverse_funnel::_doWork", "last_enqueue_time 0 now ").empty());
}
