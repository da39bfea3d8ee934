// Toolkit costs on the request path: UTF-8 <-> wide conversion of message-sized text
// (ASCII and mixed scripts), measured beside glibc's iconv doing the same work in the
// same program, an uncontended fast lock, and one semaphore post/wait handshake
// between two threads (a transaction's completion).
#include <benchmark/benchmark.h>
#include <iconv.h>

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

// The same conversion by glibc's iconv into a buffer kept across iterations (the
// string conversion also reuses its string's storage), so both sides do the same work.
void BM_Utf8ToWideIconv(benchmark::State& state) {
  std::string utf8;
  qelToolsLib::WideToUtf8(sampleText(state.range(1) != 0, static_cast<size_t>(state.range(0))),
                          utf8);
  iconv_t cd = iconv_open("WCHAR_T", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("iconv_open(WCHAR_T, UTF-8) failed");
    return;
  }
  std::wstring out(utf8.size(), L'\0');
  for (auto _ : state) {
    char* in = utf8.data();
    size_t inLeft = utf8.size();
    char* to = reinterpret_cast<char*>(out.data());
    size_t toLeft = out.size() * sizeof(wchar_t);
    iconv(cd, &in, &inLeft, &to, &toLeft);
    benchmark::DoNotOptimize(out.data());
  }
  iconv_close(cd);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(utf8.size()));
}
BENCHMARK(BM_Utf8ToWideIconv)->Args({4096, 0})->Args({4096, 1});

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
