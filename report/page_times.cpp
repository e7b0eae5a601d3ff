// The answer times: the figures as text, the times over the run and their
// histogram drawn as inline SVG.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "report/html_out.h"
#include "report/page_sections.h"
#include "report/run_page.h"

namespace {

// The drawing's frame, in its own units; it scales to the page's width.
constexpr double kWidth = 900;
constexpr double kHeight = 300;
constexpr double kLeft = 70;
constexpr double kRight = 16;
constexpr double kTop = 16;
constexpr double kBottom = 50;

double plotRight() { return kWidth - kRight; }
double plotBottom() { return kHeight - kBottom; }

// 1, 2 or 5 times a power of ten, at least `rough`.
double niceStep(double rough) {
  if (rough <= 1) return 1;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
    if (factor * power >= rough) return factor * power;
  }
  return 10 * power;
}

// A tick's time: "0.2 ms", "50 ms", "1 s".
std::string tickMillis(double ms) {
  char shown[32];
  if (ms >= 1000) {
    std::snprintf(shown, sizeof shown, "%g s", ms / 1000);
  } else {
    std::snprintf(shown, sizeof shown, "%g ms", ms);
  }
  return shown;
}

void line(HtmlOut& out, const char* cls, double x1, double y1, double x2,
          double y2) {
  out.raw("<line class=\"").raw(cls).raw("\" x1=\"").decimal(x1, 1);
  out.raw("\" y1=\"").decimal(y1, 1).raw("\" x2=\"").decimal(x2, 1);
  out.raw("\" y2=\"").decimal(y2, 1).raw("\"/>\n");
}

void label(HtmlOut& out, double x, double y, const char* anchor,
           const std::string& text, const char* extra = "") {
  out.raw("<text x=\"").decimal(x, 1).raw("\" y=\"").decimal(y, 1);
  out.raw("\" text-anchor=\"").raw(anchor).raw("\"").raw(extra).raw(">");
  out.text(text).raw("</text>\n");
}

void axisTitles(HtmlOut& out, const char* across, const char* up) {
  label(out, (kLeft + plotRight()) / 2, kHeight - 8, "middle", across,
        " class=\"title\"");
  out.raw("<text class=\"title\" transform=\"translate(14 ");
  out.decimal((kTop + plotBottom()) / 2, 1);
  out.raw(") rotate(-90)\" text-anchor=\"middle\">").text(up).raw("</text>\n");
}

// A log scale over milliseconds, whole decades at either end.
struct LogScale {
  double low;   // log10 of the least, in ms
  double high;  // log10 of the greatest
  double y(double ms) const {
    const double at = std::log10(std::max(ms, std::pow(10.0, low)));
    return plotBottom() - (at - low) / (high - low) * (plotBottom() - kTop);
  }
};

LogScale logScale(double leastMs, double mostMs) {
  LogScale scale;
  scale.low = std::floor(std::log10(std::max(leastMs, 0.001)));
  scale.high = std::ceil(std::log10(std::max(mostMs, 0.001)));
  if (scale.high <= scale.low) scale.high = scale.low + 1;
  return scale;
}

void logTicks(HtmlOut& out, const LogScale& scale) {
  const bool fine = scale.high - scale.low <= 2;
  for (double decade = scale.low; decade <= scale.high; ++decade) {
    for (const double factor : {1.0, 2.0, 5.0}) {
      if (factor > 1 && (!fine || decade == scale.high)) continue;
      const double ms = factor * std::pow(10.0, decade);
      const double y = scale.y(ms);
      line(out, "grid", kLeft, y, plotRight(), y);
      label(out, kLeft - 6, y + 4, "end", tickMillis(ms));
    }
  }
}

void overTheRun(HtmlOut& out, const RunPage& page) {
  const std::vector<TimeSlices::Slice> slices = page.slices().slices();
  const std::uint64_t total = page.slices().count();
  double least = 0;
  double most = 0;
  for (const TimeSlices::Slice& slice : slices) {
    const double median = static_cast<double>(slice.median) / 1000;
    if (median > 0 && (least == 0 || median < least)) least = median;
    most = std::max(most, static_cast<double>(slice.max) / 1000);
  }
  const LogScale scale = logScale(least > 0 ? least : most, most);
  const double span = static_cast<double>(total > 1 ? total - 1 : 1);
  const auto x = [span](double request) {
    return kLeft + (request - 1) / span * (plotRight() - kLeft);
  };
  const std::uint64_t width = slices.empty() ? 1 : slices.front().requests;
  out.raw(
      "<figure>\n<svg id=\"times-over-run\" viewBox=\"0 0 900 300\" "
      "role=\"img\" aria-labelledby=\"times-over-run-title\">\n");
  out.raw(
      "<title id=\"times-over-run-title\">Median and maximum answer time "
      "of each slice of the run</title>\n");
  logTicks(out, scale);
  const double step = niceStep(static_cast<double>(total) / 6);
  for (double request = 1; request <= static_cast<double>(total);
       request = request == 1 && step > 1 ? step : request + step) {
    line(out, "grid", x(request), kTop, x(request), plotBottom());
    out.raw("<text x=\"").decimal(x(request), 1).raw("\" y=\"");
    out.decimal(plotBottom() + 16, 1).raw("\" text-anchor=\"middle\">");
    out.count(static_cast<std::uint64_t>(request)).raw("</text>\n");
  }
  line(out, "axis", kLeft, kTop, kLeft, plotBottom());
  line(out, "axis", kLeft, plotBottom(), plotRight(), plotBottom());
  axisTitles(out, "request, in the order of the run",
             "answer time (logarithmic)");
  // A slice of one request: its median is its maximum, one line says both.
  const std::vector<const char*> drawn =
      width == 1 ? std::vector<const char*>{"median"}
                 : std::vector<const char*>{"max", "median"};
  for (const char* which : drawn) {
    const bool median = which[1] == 'e';
    out.raw("<polyline class=\"").raw(which).raw("\" points=\"");
    for (const TimeSlices::Slice& slice : slices) {
      const double middle = static_cast<double>(slice.first) +
                            static_cast<double>(slice.requests - 1) / 2;
      const double ms =
          static_cast<double>(median ? slice.median : slice.max) / 1000;
      out.decimal(x(middle), 1).raw(",").decimal(scale.y(ms), 1).raw(" ");
    }
    out.raw("\"/>\n");
    // Few slices: each a dot, so that a short run shows too.
    if (slices.size() > 40) continue;
    for (const TimeSlices::Slice& slice : slices) {
      const double ms =
          static_cast<double>(median ? slice.median : slice.max) / 1000;
      out.raw("<circle class=\"").raw(which).raw("\" r=\"2.5\" cx=\"");
      out.decimal(x(static_cast<double>(slice.first)), 1).raw("\" cy=\"");
      out.decimal(scale.y(ms), 1).raw("\"/>\n");
    }
  }
  out.raw("</svg>\n<figcaption>");
  if (width == 1) {
    out.raw(
        "<span class=\"key median\"></span>the answer time of each request (");
    out.count(total).raw(total == 1 ? " answer)" : " answers)");
  } else {
    out.raw(
        "<span class=\"key median\"></span>median and <span class=\"key "
        "max\"></span>maximum of each slice of ");
    out.count(width).raw(" requests (").count(slices.size());
    out.raw(" slices over ").count(total).raw(" answers)");
  }
  out.raw("</figcaption>\n</figure>\n");
}

void histogram(HtmlOut& out, const AnswerTimes& times) {
  const auto count = static_cast<double>(times.count());
  const auto bins = std::min<std::size_t>(
      30, std::max<std::size_t>(
              1, static_cast<std::size_t>(std::ceil(2 * std::sqrt(count)))));
  const std::vector<AnswerTimes::Bin> shown = times.histogram(bins);
  std::uint64_t tallest = 1;
  for (const AnswerTimes::Bin& bin : shown)
    tallest = std::max(tallest, bin.count);
  const double step = niceStep(static_cast<double>(tallest) / 5);
  const double top = std::ceil(static_cast<double>(tallest) / step) * step;
  const auto y = [top](double value) {
    return plotBottom() - value / top * (plotBottom() - kTop);
  };
  const double barWidth =
      (plotRight() - kLeft) / static_cast<double>(shown.size());
  out.raw(
      "<figure>\n<svg id=\"times-histogram\" viewBox=\"0 0 900 300\" "
      "role=\"img\" aria-labelledby=\"times-histogram-title\">\n");
  out.raw(
      "<title id=\"times-histogram-title\">How many answers took how "
      "long</title>\n");
  for (double value = 0; value <= top; value += step) {
    line(out, "grid", kLeft, y(value), plotRight(), y(value));
    out.raw("<text x=\"").decimal(kLeft - 6, 1).raw("\" y=\"");
    out.decimal(y(value) + 4, 1).raw("\" text-anchor=\"end\">");
    out.count(static_cast<std::uint64_t>(value)).raw("</text>\n");
  }
  const std::size_t every = (shown.size() + 5) / 6;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const AnswerTimes::Bin& bin = shown[i];
    const double left = kLeft + barWidth * static_cast<double>(i);
    out.raw("<rect class=\"bar\" x=\"").decimal(left + 1, 1).raw("\" y=\"");
    out.decimal(y(static_cast<double>(bin.count)), 1).raw("\" width=\"");
    out.decimal(std::max(barWidth - 2, 1.0), 1).raw("\" height=\"");
    out.decimal(plotBottom() - y(static_cast<double>(bin.count)), 1);
    out.raw("\"><title>").micros(bin.from).raw(" to ").micros(bin.to);
    out.raw(": ").count(bin.count).raw(bin.count == 1 ? " answer" : " answers");
    out.raw("</title></rect>\n");
    if (i % every == 0) {
      label(out, left, plotBottom() + 16, "middle", shownMicros(bin.from));
    }
  }
  label(out, plotRight(), plotBottom() + 16, "end",
        shownMicros(shown.back().to));
  line(out, "axis", kLeft, kTop, kLeft, plotBottom());
  line(out, "axis", kLeft, plotBottom(), plotRight(), plotBottom());
  axisTitles(out, "answer time (logarithmic bins)", "answers");
  out.raw("</svg>\n<figcaption>How many answers took how long, in ");
  out.count(shown.size()).raw(shown.size() == 1 ? " bin" : " bins");
  out.raw(" from the shortest to the longest</figcaption>\n</figure>\n");
}

std::string withCommas(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::size_t at = digits.size(); at > 3; at -= 3)
    digits.insert(at - 3, ",");
  return digits;
}

void figure(HtmlOut& out, const char* id, const char* name,
            const std::string& value) {
  out.raw("<div class=\"card\"><b id=\"").raw(id).raw("\">").text(value);
  out.raw("</b><span>").raw(name).raw("</span></div>\n");
}

}  // namespace

void writeTimesSection(HtmlOut& out, const RunPage& page) {
  const AnswerTimes& times = page.times();
  out.raw("<section id=\"times\">\n<h2>Answer times</h2>\n");
  if (times.count() == 0) {
    out.raw("<p class=\"note\" id=\"no-times\">");
    out.raw(page.run().delivering
                ? "No request got an answer, so there is no answer time."
                : "Nothing was delivered, so there are no answer times: the "
                  "requests were built and sent nowhere.");
    out.raw("</p>\n</section>\n");
    return;
  }
  out.raw("<div class=\"figures\">\n");
  figure(out, "time-p50", "p50", shownMicros(times.percentile(50)));
  figure(out, "time-p90", "p90", shownMicros(times.percentile(90)));
  figure(out, "time-p99", "p99", shownMicros(times.percentile(99)));
  figure(out, "time-max", "maximum", shownMicros(times.max()));
  figure(out, "time-rate", "requests a second",
         withCommas(static_cast<std::uint64_t>(
             std::llround(page.requestsPerSecond()))));
  figure(out, "time-count", "answers timed", withCommas(times.count()));
  out.raw(
      "</div>\n<p class=\"note\">A time is the request's from its "
      "building to the end of its answer. p50, p90 and p99 are nearest "
      "ranks over every answer of the run; requests a second count the "
      "answers from the first request's start to the last answer's "
      "end.</p>\n");
  overTheRun(out, page);
  histogram(out, times);
  out.raw("</section>\n");
}
