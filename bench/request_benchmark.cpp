// The cost of one request: the envelope around a small transaction, and
// around an empty payload.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "client/md_provider_client.h"
#include "platform/xml/xml_document.h"
#include "platform/xml/xml_text_check.h"

namespace {

MDProviderClient& client() {
  static MDProviderClient instance;
  return instance;
}

}  // namespace

static void BM_ProcessNodeRequestSmallTransaction(benchmark::State& state) {
  const std::string log =
      "<log><transaction seq=\"42\"><action name=\"setValue\" "
      "object=\"obj00000042\" "
      "property=\"caption\" time=\"2026-12-09T10:20:00\"><value>Region "
      "42</value></action>"
      "</transaction></log>";
  TOVIDOM_Document document =
      TOVIDOM_DOMImplementation::getInstance()->createDocument();
  TOVIDOM_Parser(0).parse(log.data(), log.size(), document);
  TOVIDOM_Node transaction =
      document->getElementsByTagName("transaction")->item(0);
  MDProviderClient& requests = client();
  const I18NString type("action");
  const I18NString action("execute");
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        requests.processNodeRequest(type, action, transaction));
  }
}
BENCHMARK(BM_ProcessNodeRequestSmallTransaction);

static void BM_ProcessRequestEmptyPayload(benchmark::State& state) {
  MDProviderClient& requests = client();
  const I18NString type("project");
  const I18NString action("open");
  for (auto _ : state) {
    TOVIDOM_Document payload =
        TOVIDOM_DOMImplementation::getInstance()->createDocument();
    benchmark::DoNotOptimize(requests.processRequest(type, action, payload));
  }
}
BENCHMARK(BM_ProcessRequestEmptyPayload);

// The strict parser over a script held in memory, in bytes a second.
static void BM_ParseScript(benchmark::State& state) {
  std::string text = "<log>\n";
  for (int i = 0; text.size() < (16u << 20); ++i) {
    text += "  <transaction seq=\"" + std::to_string(i) +
            "\"><action name=\"setValue\" "
            "object=\"caf\xC3\xA9\"><value>Region</value>"
            "</action></transaction>\n";
  }
  text += "</log>\n";
  for (auto _ : state) {
    TOVIDOM_Document document =
        TOVIDOM_DOMImplementation::getInstance()->createDocument();
    TOVIDOM_Parser(0).parse(text.data(), text.size(), document);
    benchmark::DoNotOptimize(document);
  }
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseScript);

BENCHMARK_MAIN();
