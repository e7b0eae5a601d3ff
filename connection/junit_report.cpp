#include "connection/junit_report.h"

namespace {

constexpr std::size_t kChunk = 1 << 16;

void writeCounts(ReportText& out, long tests, long failures, long errors) {
  out.raw(" tests=\"").number(tests).raw("\" failures=\"").number(failures);
  out.raw("\" errors=\"").number(errors).raw("\"");
}

void writeProperty(ReportText& out, const char* name,
                   const std::string& value) {
  out.raw("      <property name=\"").raw(name).raw("\" value=\"");
  out.escaped(value).raw("\"/>\n");
}

}  // namespace

bool JUnitReport::open(const std::string& path, const std::string& project,
                       const SecretMask& secrets, std::string& reason) {
  if (!file_.open(path, reason) || !cases_.open(path, reason)) return false;
  text_ = ReportText(&secrets);
  text_.text().reserve(kChunk + 8192);
  caseHead_ = "    <testcase classname=\"";
  ReportText head(&secrets);
  head.escaped(project);
  caseHead_ += head.text() + "\" name=\"";
  return true;
}

void JUnitReport::spool() {
  std::string& text = text_.text();
  if (writeError_.empty()) cases_.append(text.data(), text.size(), writeError_);
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
      out.escaped(*testcase.answer).raw("</failure></testcase>\n");
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
  if (out.text().size() >= kChunk) spool();
}

void JUnitReport::addRunError(const std::string& message) {
  hasRunError_ = true;
  runError_ = message;
}

bool JUnitReport::commit(const ReportHeader& header, std::string& reason) {
  if (hasRunError_) {
    ++tests_;
    ++errors_;
    text_.text() += caseHead_;
    text_.raw("run\" time=\"0.000000\"><error message=\"");
    text_.escaped(runError_).raw("\"/></testcase>\n");
  }
  spool();
  if (!writeError_.empty()) {
    reason = writeError_;
    return false;
  }
  ReportText& out = text_;
  out.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  out.raw("<testsuites name=\"KesMDProviderClient\"");
  writeCounts(out, tests_, failures_, errors_);
  out.raw(" time=\"").seconds(header.seconds).raw("\"");
  out.raw(">\n  <testsuite name=\"").escaped(header.suiteName).raw("\"");
  writeCounts(out, tests_, failures_, errors_);
  out.raw(" skipped=\"0\" time=\"").seconds(header.seconds);
  out.raw("\" timestamp=\"").escaped(header.timestamp);
  out.raw("\" hostname=\"").escaped(header.hostname).raw("\">\n");
  out.raw("    <properties>\n");
  writeProperty(out, "script", header.script);
  writeProperty(out, "delivery", header.delivering ? "on" : "off");
  writeProperty(out, "address", header.address);
  out.raw("    </properties>\n");
  const std::string foot = "  </testsuite>\n</testsuites>\n";
  return file_.append(out.text().data(), out.text().size(), reason) &&
         cases_.copyTo(file_, reason) &&
         file_.append(foot.data(), foot.size(), reason) && file_.commit(reason);
}
