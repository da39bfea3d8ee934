// The registration message: built and serialised as reverse registration does it per
// request (the figure to keep at or below 5 us); read back (its links are then a
// policy node, written by the DOM subtree writer) and serialised through a byte stream
// and through the stream-less UTF-8 form; and parsed back through the class factory.
// Run: build/bin/cml_bench (compare CPU times; the machine may be shared).
#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>
#include <string>

#include "cml/cml_deserialize.h"
#include "cml/cml_message.h"
#include "cml/cml_parser.h"
#include "qelConnectionServer/process_set_site_message.h"
#include "qelToolsLib/qelCodecvt.h"

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

std::unique_ptr<qel::cml::CCmlMessage> ReadBackMessage() {
  qel::funneltunnel::prepare_set_site_message_support();
  const std::string text = Message();
  std::unique_ptr<qel::cml::CCmlDocumentBase> document = qel::cml::DeserializeDocument(
      text.data(), text.size(), qel::cml::kParseNoValidation, nullptr);
  return std::unique_ptr<qel::cml::CCmlMessage>(
      static_cast<qel::cml::CCmlMessage*>(document.release()));
}

void BM_SerializeReadBackToByteStream(benchmark::State& state) {
  const std::unique_ptr<qel::cml::CCmlMessage> message = ReadBackMessage();
  for (auto _ : state) {
    std::ostringstream stream;
    qelToolsLib::ImbueUtf8(stream);
    message->Serialize(stream);
    benchmark::DoNotOptimize(stream.str().data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SerializeReadBackToByteStream);

void BM_SerializeReadBackUtf8(benchmark::State& state) {
  const std::unique_ptr<qel::cml::CCmlMessage> message = ReadBackMessage();
  for (auto _ : state) {
    std::string text;
    message->SerializeUtf8(text);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SerializeReadBackUtf8);

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
