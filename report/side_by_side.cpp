#include "report/side_by_side.h"

#include <algorithm>

#include "report/html_text.h"

namespace {

enum class Op { kSame, kRemove, kAdd };

// What one aligning may cost: edits times lines.
constexpr std::size_t kMostEdits = 200;
constexpr std::size_t kWork = 2000000;

using Lines = std::vector<std::string>;

// The edits that turn a[from, a.size() - tail) into b's same middle, by
// the shortest edit script (Myers), when it has at most `most` edits.
bool shortestEdits(const Lines& a, const Lines& b, std::size_t from,
                   std::size_t tail, std::size_t most, std::vector<Op>& ops) {
  const long n = static_cast<long>(a.size() - from - tail);
  const long m = static_cast<long>(b.size() - from - tail);
  const auto same = [&](long x, long y) {
    return a[from + static_cast<std::size_t>(x)] ==
           b[from + static_cast<std::size_t>(y)];
  };
  const long offset = static_cast<long>(most) + 1;
  std::vector<long> v(2 * most + 3, 0);
  std::vector<std::vector<long>> trace;
  long found = -1;
  for (long d = 0; d <= static_cast<long>(most) && found < 0; ++d) {
    trace.push_back(v);
    for (long k = -d; k <= d; k += 2) {
      long x = k == -d || (k != d && v[offset + k - 1] < v[offset + k + 1])
                   ? v[offset + k + 1]
                   : v[offset + k - 1] + 1;
      long y = x - k;
      while (x < n && y < m && same(x, y)) ++x, ++y;
      v[offset + k] = x;
      if (x >= n && y >= m) {
        found = d;
        break;
      }
    }
  }
  if (found < 0) return false;
  std::vector<Op> reversed;
  long x = n;
  long y = m;
  for (long d = found; d > 0; --d) {
    const std::vector<long>& before = trace[static_cast<std::size_t>(d)];
    const long k = x - y;
    const long back =
        k == -d || (k != d && before[offset + k - 1] < before[offset + k + 1])
            ? k + 1
            : k - 1;
    const long backX = before[offset + back];
    const long backY = backX - back;
    while (x > backX && y > backY) reversed.push_back(Op::kSame), --x, --y;
    reversed.push_back(x == backX ? Op::kAdd : Op::kRemove);
    x = backX;
    y = backY;
  }
  for (; x > 0; --x) reversed.push_back(Op::kSame);
  ops.insert(ops.end(), reversed.rbegin(), reversed.rend());
  return true;
}

// The listings as one row a line, changes paired, nothing left out yet.
std::vector<SideBySideRow> allRows(const Lines& a, const Lines& b,
                                   const std::vector<Op>& ops,
                                   std::size_t width) {
  std::vector<SideBySideRow> rows;
  std::size_t x = 0;
  std::size_t y = 0;
  for (std::size_t i = 0; i < ops.size();) {
    if (ops[i] == Op::kSame) {
      rows.push_back({SideBySideRow::Kind::kSame, x + 1, y + 1,
                      html::cut(a[x], width), html::cut(b[y], width)});
      ++x, ++y, ++i;
      continue;
    }
    // A change: its removed lines beside its added ones.
    std::size_t removed = 0;
    std::size_t added = 0;
    for (; i < ops.size() && ops[i] != Op::kSame; ++i) {
      ++(ops[i] == Op::kRemove ? removed : added);
    }
    for (std::size_t j = 0; j < std::max(removed, added); ++j) {
      SideBySideRow row;
      row.kind = j < removed && j < added ? SideBySideRow::Kind::kChanged
                 : j < removed            ? SideBySideRow::Kind::kRemoved
                                          : SideBySideRow::Kind::kAdded;
      if (j < removed) {
        row.leftLine = x + j + 1;
        row.left = html::cut(a[x + j], width);
      }
      if (j < added) {
        row.rightLine = y + j + 1;
        row.right = html::cut(b[y + j], width);
      }
      rows.push_back(std::move(row));
    }
    x += removed;
    y += added;
  }
  return rows;
}

SideBySideRow skipped(std::string text) {
  SideBySideRow row;
  row.kind = SideBySideRow::Kind::kSkipped;
  row.left = std::move(text);
  return row;
}

}  // namespace

std::vector<SideBySideRow> sideBySide(const Lines& baseline,
                                      const Lines& answer, std::size_t context,
                                      std::size_t rows, std::size_t width) {
  const std::size_t shorter = std::min(baseline.size(), answer.size());
  std::size_t head = 0;
  while (head < shorter && baseline[head] == answer[head]) ++head;
  std::size_t tail = 0;
  while (tail < shorter - head && baseline[baseline.size() - 1 - tail] ==
                                      answer[answer.size() - 1 - tail]) {
    ++tail;
  }
  std::vector<Op> ops(head, Op::kSame);
  const std::size_t middle =
      baseline.size() + answer.size() - 2 * (head + tail);
  const std::size_t most = std::min(kMostEdits, kWork / (middle + 1));
  if (!shortestEdits(baseline, answer, head, tail, most, ops)) {
    // Too far apart to align: line beside line.
    ops.resize(head);
    for (std::size_t i = head; i < baseline.size() - tail; ++i) {
      ops.push_back(Op::kRemove);
    }
    for (std::size_t i = head; i < answer.size() - tail; ++i) {
      ops.push_back(Op::kAdd);
    }
  }
  ops.insert(ops.end(), tail, Op::kSame);
  const std::vector<SideBySideRow> all = allRows(baseline, answer, ops, width);

  // Only the changes and their context; the rest said in one row a run.
  std::vector<bool> shown(all.size(), false);
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i].kind == SideBySideRow::Kind::kSame) continue;
    const std::size_t from = i > context ? i - context : 0;
    const std::size_t to = std::min(all.size(), i + context + 1);
    for (std::size_t j = from; j < to; ++j) shown[j] = true;
  }
  std::vector<SideBySideRow> out;
  for (std::size_t i = 0; i < all.size();) {
    if (out.size() + 1 >= rows && i + 1 < all.size()) {
      out.push_back(skipped("\xE2\x80\xA6 " + std::to_string(all.size() - i) +
                            " more lines not shown"));
      break;
    }
    if (shown[i]) {
      out.push_back(all[i++]);
      continue;
    }
    std::size_t run = 0;
    for (; i < all.size() && !shown[i]; ++i) ++run;
    out.push_back(skipped(std::to_string(run) +
                          (run == 1 ? " line the same" : " lines the same")));
  }
  return out;
}
