#include "report/top_requests.h"

#include <algorithm>

namespace {

// The request that ranks higher: the greater key, or the earlier.
bool ranksHigher(const RankedRequest& one, const RankedRequest& other) {
  return one.key != other.key ? one.key > other.key : one.order < other.order;
}

}  // namespace

bool TopRequests::wouldKeep(std::uint64_t key) const {
  // A later request beats an equal one never, a greater key always.
  return heap_.size() < most_ || key > heap_.front().key;
}

void TopRequests::add(RankedRequest request) {
  if (most_ == 0) return;
  if (heap_.size() == most_) {
    if (!ranksHigher(request, heap_.front())) return;
    std::pop_heap(heap_.begin(), heap_.end(), ranksHigher);
    heap_.pop_back();
  }
  heap_.push_back(std::move(request));
  std::push_heap(heap_.begin(), heap_.end(), ranksHigher);
}

std::vector<RankedRequest> TopRequests::sorted() const {
  std::vector<RankedRequest> out = heap_;
  std::sort(out.begin(), out.end(), ranksHigher);
  return out;
}
