// Trace lines land under the block of the function they describe, so that a
// command such as "level POST_request_callback 43000" shows them. Each case
// writes its own ".udout" in a fresh folder, in a process of its own (the trace
// output is opened once per process), and reads it back.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "fake_scs.h"
#include "qelConnectionServer/listener.h"
#include "qelConnectionServer/reverse_funnel.h"
#include "qelConnectionServer/token_table.h"
#include "tests/support/files.h"
#include "tests/support/fresh_process.h"
#include "tests/support/polling.h"
#include "tests/support/temp_dir.h"
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
    ud_init(dir.path().c_str(), 1);
  }
  void TearDown() override {
    if (token != 0) tokens().revoke(token);
  }
  static void command(const std::string& text) {
    std::string copy = text;
    ud_debug_input(fmemopen(&copy[0], copy.size(), "r"));
  }
  std::vector<traced_line> traced() const {
    return parse_trace(qeltest::read_file(dir.file(".udout")));
  }
  // True when a message beginning with `start` was written under `block`.
  bool has(const std::string& block, const std::string& start) const {
    for (const auto& l : traced())
      if (l.first == block && l.second.rfind(start, 0) == 0) return true;
    return false;
  }
  // Every traced line was written under `block`, and there is at least one.
  void expect_only(const std::string& block) const {
    const auto lines = traced();
    EXPECT_FALSE(lines.empty());
    for (const auto& l : lines) EXPECT_EQ(l.first, block) << l.second;
  }

  qeltest::temp_dir dir;
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

// The lines a request writes, each under the block of the function it describes,
// and nothing under a block whose level stayed low.
QEL_FRESH_PROCESS_TEST_F(TraceBlockTest, CallbackDetailLinesAreWrittenUnderTheCallbackBlock) {
  command("level POST_request_callback 43000\n");
  answering_processor p;
  token = tokens().add(&p);
  auto r = fake_scs::post(token, "/qel", {}, "ping");
  ASSERT_EQ(r.rc, 0u);
  ASSERT_EQ(r.body, "hello");
  const std::string cb = "POST_request_callback";
  expect_only(cb);
  for (const char* start : {"processor is", "posted_data ping", "response 5:  |hello|",
                            "adding header Content-Type = text/plain"})
    EXPECT_TRUE(has(cb, start)) << start;
  fake_scs::get().fail_allocate = true;
  EXPECT_EQ(fake_scs::post(token, "/qel", {}, "ping").rc, 0u);
  EXPECT_TRUE(has(cb, "could not allocate memory to hold response data"));
}

QEL_FRESH_PROCESS_TEST_F(TraceBlockTest, HeaderLinesAreWrittenUnderCreateTransaction) {
  command("level create_transaction 42000\n");
  answering_processor p;
  token = tokens().add(&p);
  ASSERT_EQ(fake_scs::post(token, "/qel", {{"Content-Type", "text/xml"}}, "x").rc, 0u);
  expect_only("create_transaction");
  EXPECT_TRUE(has("create_transaction", "got header value text/xml"));
}

QEL_FRESH_PROCESS_TEST_F(TraceBlockTest, TimeOutPassIsTracedUnderTheThreadBlock) {
  command("level reverse_funnel::_doWork 42000\n");
  listener on("", "");
  flow_generator table;
  reverse_funnel funnel(on, table, reverse_funnel::timing{20, 28});
  const std::string block = "reverse_funnel::_doWork";
  // Waits for the thread's first pass (bounded: a hang detector, not a timing).
  EXPECT_TRUE(qeltest::wait_until(
      [&] { return has(block, "empty queue -- no reverse tunnel transaction to timeout"); },
      10000));
  EXPECT_TRUE(has(block, "last_enqueue_time 0 now "));
}
