// Arbitrary bytes as a baseline file (of either version). One that opens is
// read two ways: as the recording of a run paired with itself (each record
// pairs with its own and compares the same, and its header written again
// reads the same), and paired with its records one out of step, bodies read
// only in part. Every record is paired or passed over exactly once.

#include <cstddef>
#include <cstdint>
#include <string>

#include "baseline/baseline_reader.h"
#include "baseline/comparison_rules.h"
#include "baseline/record_comparison.h"
#include "baseline/record_pairing.h"
#include "fuzz/fuzz_support.h"
#include "platform/core/tov_exception.h"

namespace {

constexpr std::size_t kWhole = static_cast<std::size_t>(-1);
constexpr std::size_t kHead = 7;

std::string path;

const auto nothing = [](const baseline_file::RecordHeader&) {};

bool open(BaselineReader& reader) {
  std::string problem;
  if (reader.open(path, problem)) return true;
  fuzz::expect(problem.find(path) != std::string::npos,
               "a refusal names the file");
  return false;
}

// A header written again, as a recording writes it, reads the same.
void checkWrittenAgain(const baseline_file::RecordHeader& read) {
  std::string line;
  std::string reason;
  fuzz::expect(baseline_file::appendHeader(line, read, reason),
               "a header read can be written");
  fuzz::expect(!line.empty() && line.back() == '\n', "a header is a line");
  line.pop_back();
  baseline_file::RecordHeader again;
  fuzz::expect(baseline_file::parseHeader(line, 2, again, reason),
               "a header written reads again");
  fuzz::expect(baseline_file::sameKey(again.key, read.key) &&
                   again.key.seq == read.key.seq &&
                   again.fingerprint == read.fingerprint &&
                   again.status == read.status &&
                   again.mediaType == read.mediaType &&
                   again.mediaKnown == read.mediaKnown &&
                   again.milliseconds == read.milliseconds &&
                   again.bodySize == read.bodySize,
               "a header written reads the same");
  fuzz::expect(again.hiddenEverywhere ||
                   (again.hiddenAt == read.hiddenAt && !read.hiddenEverywhere),
               "a header written hides what it hid");
}

// As a run of the same requests meets it.
void pairWithItself() {
  BaselineReader recording;
  BaselineReader baseline;
  if (!open(recording)) return;
  fuzz::expect(open(baseline), "a file opens twice");
  RecordPairing pairing(baseline, recording.range());
  const ComparisonRules rules;
  BaselineRecord recorded;
  BaselineRecord paired;
  while (recording.ahead(0) != nullptr) {
    recording.take(0, recorded, kWhole, nothing);
    fuzz::expect(
        recorded.body.size() == recorded.header.bodySize && !recorded.partial,
        "a body is read whole");
    checkWrittenAgain(recorded.header);
    const Pairing found = pairing.pair(
        recorded.header.key, recorded.header.fingerprint, paired, kWhole);
    fuzz::expect(found.outcome == Pairing::Outcome::kPaired &&
                     found.removed.count == 0 && found.notReached == 0,
                 "a record pairs with itself, passing nothing");
    fuzz::expect(paired.body == recorded.body, "its body reads the same");
    const Verdict verdict =
        compareRecords(recorded.header, recorded.body, paired,
                       baseline.version() != 1, rules, nullptr, nullptr);
    fuzz::expect(verdict.count == 0, "a record differs in nothing from itself");
  }
  fuzz::expect(recording.paired() == recording.records() &&
                   baseline.paired() == baseline.records(),
               "every record is read once");
  const Pairing rest = pairing.finish();
  fuzz::expect(rest.removed.count == 0 && rest.notReached == 0,
               "nothing is left");
}

// Each request asks for the record after its own: what lies between is
// passed over, what cannot pair is not found.
void pairOutOfStep() {
  BaselineReader keys;
  BaselineReader baseline;
  if (!open(keys) || !open(baseline)) return;
  RecordPairing pairing(baseline, keys.range());
  unsigned long long passed = 0;
  pairing.watchPassed(
      [&](const baseline_file::RecordHeader&, bool) { ++passed; });
  BaselineRecord key;
  BaselineRecord paired;
  unsigned long long taken = 0;
  if (keys.ahead(0) != nullptr) keys.take(0, key, 0, nothing);
  while (keys.ahead(0) != nullptr) {
    keys.take(0, key, 0, nothing);
    const unsigned long long before = passed;
    const Pairing found =
        pairing.pair(key.header.key, key.header.fingerprint, paired, kHead);
    fuzz::expect(found.removed.count + found.notReached == passed - before,
                 "what a pairing passes over is told");
    if (found.outcome == Pairing::Outcome::kNotFound) continue;
    ++taken;
    fuzz::expect(paired.body.size() == std::min<unsigned long long>(
                                           paired.header.bodySize, kHead) &&
                     paired.partial == (paired.header.bodySize > kHead),
                 "a body is read up to the most asked for");
  }
  pairing.finish();
  fuzz::expect(
      taken + passed == baseline.records() && baseline.paired() == taken,
      "every record is paired or passed over, once");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  path = fuzz::scratchPath("recorded.baseline");
  return path.empty() ? 1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (!fuzz::writeFile(
          path, std::string_view(reinterpret_cast<const char*>(data), size))) {
    return 0;
  }
  try {
    pairWithItself();
    pairOutOfStep();
  } catch (TOVException* failure) {
    // A file checked whole at the start reads as it was checked.
    fuzz::broken(failure->getErrorCodeString());
  }
  return 0;
}
