// The cost of the baseline per request, on small answers: recording them,
// comparing byte-identical ones, and comparing ones that need their normal
// form (other attribute order and white space). A timed loop over the
// judge, as the run will call it, and the request's own cost beside it.
//
//   baseline_benchmark FOLDER [REQUESTS]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "baseline/answer_judge.h"
#include "baseline/request_fingerprint.h"
#include "client/md_provider_client.h"
#include "platform/core/tov_exception.h"
#include "platform/xml/xml_document.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string payload(long i) {
  return "<transaction seq=\"" + std::to_string(i) +
         "\"><action name=\"setValue\" object=\"obj" + std::to_string(i) +
         "\" property=\"caption\" time=\"2026-12-09T10:20:00\"><value>Region " +
         std::to_string(i) + "</value></action></transaction>";
}

std::string answer(long i, bool otherForm) {
  const std::string n = std::to_string(i);
  if (otherForm) {
    return "<answer status='ok' seq='" + n + "'>\n  <object caption='Region " +
           n + "' id='obj" + n +
           "'   />\n  <changes count='1'></changes>\n</answer>";
  }
  return "<answer seq=\"" + n + "\" status=\"ok\"><object id=\"obj" + n +
         "\" caption=\"Region " + n + "\"/><changes count=\"1\"/></answer>";
}

AnswerKey keyOf(long i) {
  AnswerKey key;
  key.isTransaction = true;
  key.ordinal = static_cast<unsigned long long>(i);
  key.seq = static_cast<std::int32_t>(i);
  key.type = "action";
  key.action = "execute";
  return key;
}

double startSeconds = 0;  // the last judge's configure: the baseline's check

// Seconds for `count` requests through a judge set up by the variables.
double run(const BaselineFiles& files, long count, bool otherForm,
           long& differing) {
  AnswerJudge judge;
  std::string problem;
  const auto configured = Clock::now();
  const bool usable = judge.configure(true, SeqRange(), files, problem);
  startSeconds =
      std::chrono::duration<double>(Clock::now() - configured).count();
  if (!usable) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    std::exit(1);
  }
  // The texts are made outside the timed part.
  std::string payloads[64];
  std::string canonical[64];
  std::string bodies[64];
  const auto start = Clock::now();
  double making = 0;
  for (long i = 1; i <= count; ++i) {
    const auto made = Clock::now();
    std::string& text = payloads[i % 64];
    std::string& body = bodies[i % 64];
    text = "<mdprovider type=\"action\" action=\"execute\" model=\"M\">" +
           payload(i) + "</mdprovider>";
    body = answer(i, otherForm);
    // The client takes it from the document it built; here from the text.
    canonical[i % 64] = canonicalPayloadOf(text);
    making += std::chrono::duration<double>(Clock::now() - made).count();
    Answered answered;
    answered.key = keyOf(i);
    answered.request = text;
    answered.payload = canonical[i % 64];
    answered.status = 200;
    answered.mediaType = "application/xml";
    answered.body = body;
    judge.judge(answered);
  }
  if (!judge.commit(problem)) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    std::exit(1);
  }
  differing = judge.differing();
  return std::chrono::duration<double>(Clock::now() - start).count() - making;
}

// What one request costs the client without the baseline: the envelope
// around a small transaction, built and serialized.
double requestCost(long count) {
  MDProviderClient client;
  const std::string log = "<log>" + payload(42) + "</log>";
  TOVIDOM_Document document =
      TOVIDOM_DOMImplementation::getInstance()->createDocument();
  TOVIDOM_Parser(0).parse(log.data(), log.size(), document);
  TOVIDOM_Node transaction =
      document->getElementsByTagName("transaction")->item(0);
  const I18NString type("action");
  const I18NString action("execute");
  const auto start = Clock::now();
  for (long i = 0; i < count; ++i) {
    client.processNodeRequest(type, action, transaction);
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER [REQUESTS]\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const long count = argc > 2 ? std::atol(argv[2]) : 200000;
  const std::string first = folder + "/bench.baseline";
  const std::string second = folder + "/bench-again.baseline";
  try {
    long differing = 0;
    const double request = requestCost(count);
    const double recording = run({first, "", ""}, count, false, differing);
    const double identical = run({"", first, ""}, count, false, differing);
    const double normal = run({"", first, ""}, count, true, differing);
    const double check = startSeconds;
    const double both = run({second, first, ""}, count, true, differing);
    const auto perRequest = [count](double seconds) {
      return seconds / static_cast<double>(count) * 1e6;
    };
    std::printf("requests %ld, differing in the last run %ld\n", count,
                differing);
    std::printf("%-44s %8.2f us\n", "one request without delivery",
                perRequest(request));
    std::printf("%-44s %8.2f us\n", "recording", perRequest(recording));
    std::printf("%-44s %8.2f us\n", "comparing byte-identical answers",
                perRequest(identical));
    std::printf("%-44s %8.2f us\n", "comparing answers in another form",
                perRequest(normal));
    std::printf("%-44s %8.2f us\n", "both, answers in another form",
                perRequest(both));
    std::printf("%-44s %8.3f s\n", "checking the baseline at the start", check);
  } catch (TOVException* failure) {
    std::fprintf(stderr, "%s\n", failure->getErrorCodeString());
    delete failure;
    return 1;
  }
  return 0;
}
