// Cost of trace sites. A disabled UD_TRACE (activation 0) and a disabled
// UD_EXIT (enter/exit 0) cost one table read and should run close to the empty
// loop; the level-filtered and the recorded-but-not-printed traces show what
// an active site costs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

#include "udebug/udebug.h"

namespace {

void BM_EmptyLoop(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(i);
    ++i;
  }
}
BENCHMARK(BM_EmptyLoop);

void BM_DisabledTrace(benchmark::State& state) {
  UD_ENTER("bench_inactive", "");
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(i);
    UD_TRACE(43000, "i=%d", i);
    ++i;
  }
}
BENCHMARK(BM_DisabledTrace);

void BM_DisabledExit(benchmark::State& state) {
  UD_ENTER("bench_inactive", "");
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(i);
    UD_EXIT("%d", i);
    ++i;
  }
}
BENCHMARK(BM_DisabledExit);

// Default settings: active, so ud_site and ud_trace run and the level check
// inside ud_trace drops the line.
void BM_LevelFilteredTrace(benchmark::State& state) {
  UD_ENTER("bench_default", "");
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(i);
    UD_TRACE(43000, "i=%d", i);
    ++i;
  }
}
BENCHMARK(BM_LevelFilteredTrace);

// Printing off: the event is kept in the thread's ring only.
void BM_RecordedTrace(benchmark::State& state) {
  UD_ENTER("bench_recorded", "");
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(i);
    UD_TRACE(43000, "i=%d", i);
    ++i;
  }
}
BENCHMARK(BM_RecordedTrace);

void configure() {
  static const char commands[] =
      "activate bench_inactive 0\n"
      "level bench_recorded 43000\n"
      "print console 0\n";
  ud_init(nullptr, 1);
  ud_debug_input(fmemopen(const_cast<char*>(commands), std::strlen(commands), "r"));
}

}  // namespace

int main(int argc, char** argv) {
  configure();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
