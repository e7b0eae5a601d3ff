// The memory of comparing one large answer with its record as XML under
// rules: an answer of N MiB whose `time` differs (masked by a rule) and one
// value near its end, compared as a run would. Prints the peak against the
// target, 64 MiB plus 4 times the answer and its record together.
//
//   large_answer_memory FOLDER MIB [RULE [every]]
// `every`: every object of the answer differs, not only the last few.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "baseline/answer_judge.h"
#include "platform/core/tov_exception.h"

namespace {

// `last` is the version of the objects near the end, or of every object
// when `every`.
std::string answerOf(std::size_t size, const char* time, const char* last,
                     bool every = false) {
  std::string body = "<answer time=\"" + std::string(time) + "\">\n";
  for (long i = 0; body.size() < size; ++i) {
    const std::string n = std::to_string(i);
    body += "  <object id=\"o" + n + "\" type=\"Dimension\" version=\"" +
            (every || body.size() + 400 >= size ? last : "1") +
            "\"><property name=\"caption\">Caption " + n +
            "</property></object>\n";
  }
  return body + "</answer>\n";
}

long peakMiB() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s FOLDER MIB [RULE]\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const std::size_t size = std::strtoul(argv[2], nullptr, 10) << 20;
  const std::string path = folder + "/large.baseline";
  const std::string rules = folder + "/large.rules";
  std::FILE* out = std::fopen(rules.c_str(), "w");
  if (out == nullptr) return 1;
  std::fputs(argc > 3 ? argv[3] : "mask /*/@time", out);
  std::fputc('\n', out);
  std::fclose(out);
  const std::string request =
      "<mdprovider type=\"ma\" action=\"query\" model=\"M\"/>";
  try {
    {
      const std::string recorded = answerOf(
          size, "10:00", "2.1", argc > 4 && std::string(argv[4]) == "every");
      AnswerJudge judge;
      std::string problem;
      if (!judge.configure(true, SeqRange(), {path, "", ""}, problem)) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
      }
      Answered answered;
      answered.key.type = "ma";
      answered.key.action = "query";
      answered.request = request;
      answered.status = 200;
      answered.body = recorded;
      judge.judge(answered);
      if (!judge.commit(problem)) return 1;
    }
    const bool every = argc > 4 && std::string(argv[4]) == "every";
    const std::string body = answerOf(size, "11:00", "2.2", every);
    const long before = peakMiB();
    AnswerJudge judge;
    std::string problem;
    if (!judge.configure(true, SeqRange(), {"", path, rules}, problem)) {
      std::fprintf(stderr, "%s\n", problem.c_str());
      return 1;
    }
    Answered answered;
    answered.key.type = "ma";
    answered.key.action = "query";
    answered.request = request;
    answered.status = 200;
    answered.body = body;
    const auto start = std::chrono::steady_clock::now();
    const Judgement judgement = judge.judge(answered);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
            .count();
    const long peak = peakMiB();
    const long mib = static_cast<long>(size >> 20);
    const long target = 64 + 4 * 2 * mib;
    std::printf(
        "answer of %ld MiB, rule \"%s\": compared in %.2f s, peak %ld MiB "
        "(%ld before), target %ld MiB: %s\n  %s\n",
        mib, argc > 3 ? argv[3] : "mask /*/@time", seconds, peak, before,
        target, peak <= target ? "met" : "MISSED",
        judgement.request ? judgement.request->line.c_str() : "no difference");
    return peak <= target && judgement.request ? 0 : 1;
  } catch (TOVException* failure) {
    std::fprintf(stderr, "%s\n", failure->getErrorCodeString());
    delete failure;
    return 1;
  }
}
