#include "run_record/junit_report.h"

namespace {

constexpr std::size_t kChunk = 1 << 16;
// Room in each start tag for the counts and the time: the most that four
// numbers of a long's digits take with their names. What they do not fill
// stays blank, as XML lets a tag hold.
constexpr std::size_t kCountsRoom = 140;

void writeProperty(ReportText& out, const char* name,
                   const std::string& value) {
  out.raw("      <property name=\"").raw(name).raw("\" value=\"");
  out.escaped(value).raw("\"/>\n");
}

}  // namespace

bool JUnitReport::open(const std::string& path, const ReportHeader& header,
                       const SecretMask& secrets, std::string& reason) {
  if (!file_.open(path, reason)) return false;
  text_ = ReportText(&secrets);
  text_.text().reserve(kChunk + 8192);
  ReportText head(&secrets);
  head.escaped(header.project);
  caseHead_ = "    <testcase classname=\"" + head.text() + "\" name=\"";

  ReportText& out = text_;
  const std::string room(kCountsRoom, ' ');
  out.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  out.raw("<testsuites name=\"KesMDProviderClient\"");
  suitesCounts_ = out.text().size();
  out.raw(room.c_str()).raw(">\n  <testsuite name=\"");
  out.escaped(header.suiteName).raw("\"");
  suiteCounts_ = out.text().size();
  out.raw(room.c_str());
  out.raw(" timestamp=\"").escaped(header.timestamp);
  out.raw("\" hostname=\"").escaped(header.hostname).raw("\">\n");
  out.raw("    <properties>\n");
  writeProperty(out, "script", header.script);
  writeProperty(out, "delivery", header.delivering ? "on" : "off");
  writeProperty(out, "address", header.address);
  if (!header.baseline.empty()) writeProperty(out, "baseline", header.baseline);
  if (!header.rules.empty()) writeProperty(out, "rules", header.rules);
  if (!header.recording.empty()) {
    writeProperty(out, "recording", header.recording);
  }
  out.raw("    </properties>\n");
  write();
  reason = writeError_;
  return writeError_.empty();
}

void JUnitReport::write() {
  std::string& text = text_.text();
  if (writeError_.empty()) file_.append(text.data(), text.size(), writeError_);
  text.clear();
}

void JUnitReport::add(const TestCase& testcase) {
  ++tests_;
  ReportText& out = text_;
  out.text() += caseHead_;
  if (testcase.name == nullptr) {
    out.raw("transaction ").number(testcase.seq);
  } else {
    out.escaped(*testcase.name);
  }
  out.raw("\" time=\"").seconds(testcase.seconds).raw("\"");
  switch (testcase.outcome) {
    case TestCase::Outcome::kPassed:
      out.raw("/>\n");
      break;
    case TestCase::Outcome::kFailed:
      ++failures_;
      out.raw("><failure message=\"").escaped(testcase.message).raw("\">");
      out.escapedText(*testcase.answer).raw("</failure></testcase>\n");
      break;
    case TestCase::Outcome::kError:
      ++errors_;
      out.raw("><error message=\"").escaped(testcase.message);
      out.raw("\"/></testcase>\n");
      break;
    case TestCase::Outcome::kUnfinished:
      ++errors_;
      out.raw("><error message=\"the request did not finish\"/></testcase>\n");
      break;
  }
  if (out.text().size() >= kChunk) write();
}

void JUnitReport::addRunError(const std::string& message) {
  hasRunError_ = true;
  runError_ = message;
}

void JUnitReport::addRunSkipped(const std::string& message) {
  hasRunSkipped_ = true;
  runSkipped_ = message;
}

void JUnitReport::fillCounts(unsigned long long at, std::size_t room,
                             bool suite, double seconds, std::string& reason) {
  ReportText counts;
  counts.raw(" tests=\"").number(tests_).raw("\" failures=\"");
  counts.number(failures_).raw("\" errors=\"").number(errors_).raw("\"");
  if (suite) counts.raw(" skipped=\"").number(skipped_).raw("\"");
  counts.raw(" time=\"").seconds(seconds).raw("\"");
  std::string& text = counts.text();
  text.resize(room, ' ');
  if (reason.empty()) file_.writeAt(at, text.data(), text.size(), reason);
}

bool JUnitReport::commit(double seconds, std::string& reason) {
  if (hasRunSkipped_) {
    ++tests_;
    ++skipped_;
    text_.text() += caseHead_;
    text_.raw("run\" time=\"0.000000\"><skipped message=\"");
    text_.escaped(runSkipped_).raw("\"/></testcase>\n");
  }
  if (hasRunError_ || !runOutput_.empty()) {
    ++tests_;
    text_.text() += caseHead_;
    text_.raw("run\" time=\"0.000000\">");
    if (hasRunError_) {
      ++errors_;
      text_.raw("<error message=\"").escaped(runError_).raw("\"/>");
    }
    if (!runOutput_.empty()) {
      text_.raw("<system-out>").escapedText(runOutput_).raw("</system-out>");
    }
    text_.raw("</testcase>\n");
  }
  text_.raw("  </testsuite>\n</testsuites>\n");
  write();
  reason = writeError_;
  fillCounts(suitesCounts_, kCountsRoom, false, seconds, reason);
  fillCounts(suiteCounts_, kCountsRoom, true, seconds, reason);
  // A report held open (a browser shows it) does not fail a run whose
  // requests went: this one is kept beside it.
  return reason.empty() && file_.commit(reason, true);
}
