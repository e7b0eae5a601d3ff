#include "connection/junit_report.h"

#include <charconv>
#include <cstdint>

#include "platform/atomic_file.h"
#include "platform/xml_text_check.h"

namespace {

// The text with every occurrence of the password replaced.
std::string hidden(std::string text, const std::string& password) {
  for (std::size_t at = 0; (at = text.find(password, at)) != std::string::npos;
       at += 3) {
    text.replace(at, password.size(), "***");
  }
  return text;
}

// Text bound for the file, flushed in large pieces: a report of a long
// replay is written without being held whole.
class ReportText {
 public:
  ReportText(platform::AtomicFile& file, const std::string& password)
      : file_(file), password_(password) {
    text_.reserve(kChunk + 8192);
  }

  ReportText& raw(const char* text) {
    text_ += text;
    return flushIfFull();
  }
  ReportText& escaped(const std::string& text) {
    if (password_.empty() || text.find(password_) == std::string::npos) {
      platform::appendXmlEscaped(text_, text.data(), text.size());
    } else {
      const std::string shown = hidden(text, password_);
      platform::appendXmlEscaped(text_, shown.data(), shown.size());
    }
    return flushIfFull();
  }
  ReportText& number(long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text_.append(digits, end);
    return *this;
  }
  // Seconds with six decimals, without the cost of a formatted print.
  ReportText& seconds(double value) {
    const auto micros =
        static_cast<std::int64_t>(value < 0 ? 0 : value * 1e6 + 0.5);
    number(static_cast<long>(micros / 1000000));
    char fraction[7];
    std::int64_t rest = micros % 1000000;
    for (int i = 5; i >= 0; --i, rest /= 10) {
      fraction[i] = static_cast<char>('0' + rest % 10);
    }
    text_ += '.';
    text_.append(fraction, 6);
    return *this;
  }

  // Writes what is left and puts the file in place; false with the reason
  // of the first write that failed.
  bool finish(std::string& reason) {
    return flush(reason) && file_.commit(reason);
  }

 private:
  static constexpr std::size_t kChunk = 1 << 16;

  ReportText& flushIfFull() {
    if (text_.size() >= kChunk && reason_.empty()) flush(reason_);
    return *this;
  }
  bool flush(std::string& reason) {
    if (!reason_.empty()) {
      reason = reason_;
      return false;
    }
    const bool written = file_.append(text_.data(), text_.size(), reason);
    text_.clear();
    return written;
  }

  platform::AtomicFile& file_;
  const std::string& password_;
  std::string text_;
  std::string reason_;
};

struct Counts {
  long tests = 0;
  long failures = 0;
  long errors = 0;
};

Counts countOf(const RunRecord& record) {
  Counts counts;
  for (const RunRecord::Entry& entry : record.entries()) {
    ++counts.tests;
    if (entry.outcome == RunRecord::Outcome::kFailed) ++counts.failures;
    if (entry.outcome == RunRecord::Outcome::kError ||
        entry.outcome == RunRecord::Outcome::kOpen) {
      ++counts.errors;
    }
  }
  if (record.hasRunError()) {
    ++counts.tests;
    ++counts.errors;
  }
  return counts;
}

void writeCounts(ReportText& out, const Counts& counts, double seconds) {
  out.raw(" tests=\"").number(counts.tests).raw("\" failures=\"");
  out.number(counts.failures).raw("\" errors=\"").number(counts.errors);
  out.raw("\"");
  if (seconds >= 0) out.raw(" time=\"").seconds(seconds).raw("\"");
}

void writeProperty(ReportText& out, const char* name,
                   const std::string& value) {
  out.raw("      <property name=\"").raw(name).raw("\" value=\"");
  out.escaped(value).raw("\"/>\n");
}

// `head` is the start of every testcase, up to its name: escaped once.
void writeCase(ReportText& out, const RunRecord& record,
               const RunRecord::Entry& entry, const std::string& head) {
  out.raw(head.c_str());
  if (entry.name == RunRecord::kTransaction) {
    out.raw("transaction ").number(entry.seq);
  } else {
    out.escaped(record.names()[entry.name]);
  }
  out.raw("\" time=\"").seconds(entry.seconds).raw("\"");
  switch (entry.outcome) {
    case RunRecord::Outcome::kPassed:
      out.raw("/>\n");
      return;
    case RunRecord::Outcome::kFailed: {
      const RunRecord::Detail& detail = record.details()[entry.detail];
      out.raw("><failure message=\"").escaped(detail.message).raw("\">");
      out.escaped(detail.text).raw("</failure></testcase>\n");
      return;
    }
    case RunRecord::Outcome::kError:
      out.raw("><error message=\"");
      out.escaped(record.details()[entry.detail].message);
      out.raw("\"/></testcase>\n");
      return;
    case RunRecord::Outcome::kOpen:
      out.raw("><error message=\"the request did not finish\"/></testcase>\n");
      return;
  }
}

}  // namespace

bool writeJUnitReport(platform::AtomicFile& file, const RunRecord& record,
                      const ReportHeader& header, std::string& reason) {
  ReportText out(file, header.password);
  const Counts counts = countOf(record);
  out.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  out.raw("<testsuites name=\"KesMDProviderClient\"");
  writeCounts(out, counts, header.seconds);
  out.raw(">\n  <testsuite name=\"").escaped(header.suiteName).raw("\"");
  writeCounts(out, counts, -1);
  out.raw(" skipped=\"0\" time=\"").seconds(header.seconds);
  out.raw("\" timestamp=\"").escaped(header.timestamp);
  out.raw("\" hostname=\"").escaped(header.hostname).raw("\">\n");
  out.raw("    <properties>\n");
  writeProperty(out, "script", header.script);
  writeProperty(out, "delivery", header.delivering ? "on" : "off");
  writeProperty(out, "address", header.address);
  out.raw("    </properties>\n");
  std::string head = "    <testcase classname=\"";
  const std::string project = header.password.empty()
                                  ? header.project
                                  : hidden(header.project, header.password);
  platform::appendXmlEscaped(head, project.data(), project.size());
  head += "\" name=\"";
  for (const RunRecord::Entry& entry : record.entries()) {
    writeCase(out, record, entry, head);
  }
  if (record.hasRunError()) {
    out.raw("    <testcase classname=\"").escaped(header.project);
    out.raw("\" name=\"run\" time=\"0.000000\"><error message=\"");
    out.escaped(record.runError().message).raw("\"/></testcase>\n");
  }
  out.raw("  </testsuite>\n</testsuites>\n");
  return out.finish(reason);
}
