// Several threads tracing at once: whole lines, in order per thread.
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "udebug/udebug.h"
#include "udebug_test_support.h"

namespace {

constexpr int kThreads = 4;
constexpr int kCalls = 100;

unsigned g_ring_index[kThreads];
unsigned g_ring_thread[kThreads];

void worker(int t, int i) {
  UD_ENTER("worker", "%d %d", t, i);
  UD_TRACE(43000, "t=%d i=%d", t, i);
  UD_EXIT("%d %d", t, i);
}

struct seen {
  std::string tid;
  int next = 0;   // 3 events per call: ENTER, trace, EXIT
};

// One of the three bodies a worker writes, consumed completely.
bool parse_body(const std::string& body, int& kind, int& t, int& i) {
  static const char* const kFormats[] = {"ENTER worker: %d %d%n", "t=%d i=%d%n",
                                         "EXIT worker returns: %d %d%n"};
  for (kind = 0; kind < 3; ++kind) {
    int used = -1;
    if (std::sscanf(body.c_str(), kFormats[kind], &t, &i, &used) == 2 &&
        used == static_cast<int>(body.size()))
      return true;
  }
  return false;
}

}  // namespace

QEL_FRESH_PROCESS_TEST(UdebugTest, ConcurrentTracesNeverInterleave) {
  write_file(".udrc", "enter_exit worker 1\nlevel worker 43000\n");
  ud_init(".", 1);
  ud_load_config(".");
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kCalls; ++i) worker(t, i);
      g_ring_index[t] = ud_current_ring()->index;
      g_ring_thread[t] = ud_current_ring()->thread_id;
    });
  // Commands rewrite the flags the call sites read without a lock.
  for (int i = 0; i < 50; ++i) run_commands("enter_exit worker 1\nlevel worker 43000\n");
  for (auto& thread : threads) thread.join();

  std::map<int, seen> per_thread;
  const auto lines = split_lines(read_file(".udout"));
  ASSERT_EQ(lines.size(), static_cast<size_t>(3 * kThreads * kCalls));
  for (const std::string& line : lines) {
    double when;
    std::string tid, rest;
    ASSERT_TRUE(split_prefix(line, when, tid, rest)) << line;
    const size_t tab = rest.find('\t');
    ASSERT_NE(tab, std::string::npos) << line;
    int kind = 0, t = -1, i = -1;
    ASSERT_TRUE(parse_body(rest.substr(tab + 1), kind, t, i)) << line;
    seen& s = per_thread[t];
    if (s.tid.empty()) s.tid = tid;
    EXPECT_EQ(tid, s.tid) << line;
    EXPECT_EQ(s.next, 3 * i + kind) << line;
    s.next = 3 * i + kind + 1;
  }
  ASSERT_EQ(per_thread.size(), static_cast<size_t>(kThreads));
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(per_thread[t].next, 3 * kCalls);
    EXPECT_EQ(g_ring_index[t], (3u * kCalls) % UD_RING_SIZE);
    char tid[16];
    std::snprintf(tid, sizeof tid, "%8x", g_ring_thread[t]);
    EXPECT_EQ(per_thread[t].tid, tid);
  }
}
