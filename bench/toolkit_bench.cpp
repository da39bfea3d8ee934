// Toolkit costs on the request path: UTF-8 <-> wide conversion of message-sized text
// (ASCII and mixed scripts), an uncontended fast lock, and one semaphore
// post/wait handshake between two threads (a transaction's completion).
#include <benchmark/benchmark.h>

#include <atomic>
#include <string>
#include <thread>

#include "qelToolsLib/jslock.h"
#include "qelToolsLib/jssemaphore.h"
#include "qelToolsLib/qelStringConvert.h"

namespace {

std::wstring sampleText(bool mixed, size_t length) {
  const std::wstring unit = mixed ? L"caf\u00E9 \u20AC \u65E5\u672C \U0001F600 " : L"agent-42 ";
  std::wstring text;
  while (text.size() < length) text += unit;
  return text;
}

void BM_WideToUtf8(benchmark::State& state) {
  const std::wstring text = sampleText(state.range(1) != 0, static_cast<size_t>(state.range(0)));
  std::string out;
  for (auto _ : state) {
    qelToolsLib::WideToUtf8(text, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_WideToUtf8)->Args({4096, 0})->Args({4096, 1});

void BM_Utf8ToWide(benchmark::State& state) {
  std::string utf8;
  qelToolsLib::WideToUtf8(sampleText(state.range(1) != 0, static_cast<size_t>(state.range(0))),
                          utf8);
  std::wstring out;
  for (auto _ : state) {
    qelToolsLib::Utf8ToWide(utf8, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(utf8.size()));
}
BENCHMARK(BM_Utf8ToWide)->Args({4096, 0})->Args({4096, 1});

void BM_FastLockUncontended(benchmark::State& state) {
  jsFastSync sync;
  for (auto _ : state) {
    jsFastLock hold(sync);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FastLockUncontended);

void BM_SemaphoreHandshake(benchmark::State& state) {
  jsSemaphore request(0), answer(0);
  std::atomic<bool> done{false};
  std::thread peer([&] {
    while (request.wait() == 0 && !done.load()) answer.increment(1);
  });
  for (auto _ : state) {
    request.increment(1);
    answer.wait();
  }
  done = true;
  request.increment(1);
  peer.join();
}
BENCHMARK(BM_SemaphoreHandshake)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
