#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A request ranked by one figure: the time it took, or how much longer it
// took than its baseline's record.
struct RankedRequest {
  std::uint64_t key = 0;    // what ranks it, in microseconds
  std::uint64_t order = 0;  // its place in the run: the earlier wins a tie
  std::string name;
  std::string status;          // as the page shows it: "200", "failed"
  std::uint64_t micros = 0;    // its time
  std::uint64_t recorded = 0;  // its baseline's time, where one ranks so
};

// The `most` requests of the greatest key seen, kept as the run goes.
class TopRequests {
 public:
  explicit TopRequests(std::size_t most) : most_(most) {}

  // Whether a request of this key would be kept: asked first, so that
  // a request that would not is never named.
  bool wouldKeep(std::uint64_t key) const;
  void add(RankedRequest request);
  // Greatest first; among equals the earliest.
  std::vector<RankedRequest> sorted() const;

 private:
  std::size_t most_;
  std::vector<RankedRequest> heap_;  // the least kept on top
};
