// Registration messages per second: built and serialised, and parsed back through
// the class factory. Run: build/bin/cml_bench
#include <benchmark/benchmark.h>

#include <string>

#include "cml/cml_deserialize.h"
#include "cml/cml_parser.h"
#include "qelConnectionServer/process_set_site_message.h"

namespace {

const qel::funneltunnel::agent_info kAgent{"bench-agent", "4E1F2C3A-0000-4000-8000-000000000001",
                                           "urn:bench:agent", "5.0.0"};
const std::string kLinks =
    "<LmiLinks xmlns='urn:lmi'><link rel='console' href='https://mgmt.example.com/'/></LmiLinks>";

std::string Message() {
  std::string response;
  qel::funneltunnel::process_set_site_message(kAgent, "192.0.2.10", kLinks, "", response);
  return response;
}

void BM_BuildAndSerialize(benchmark::State& state) {
  qel::funneltunnel::prepare_set_site_message_support();
  for (auto _ : state) {
    std::string response;
    qel::funneltunnel::process_set_site_message(kAgent, "192.0.2.10", kLinks, "", response);
    benchmark::DoNotOptimize(response.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildAndSerialize);

void BM_ParseBack(benchmark::State& state) {
  qel::funneltunnel::prepare_set_site_message_support();
  const std::string text = Message();
  for (auto _ : state) {
    auto document = qel::cml::DeserializeDocument(text.data(), text.size(),
                                                  qel::cml::kParseNoValidation, nullptr);
    benchmark::DoNotOptimize(document.get());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseBack);

}  // namespace

BENCHMARK_MAIN();
