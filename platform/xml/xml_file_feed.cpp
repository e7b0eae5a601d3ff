#include "platform/xml/xml_file_feed.h"

#include <algorithm>

#include "platform/os/file_reader.h"
#include "platform/xml/xml_text_check.h"

namespace platform {

namespace {

// Files are read and parsed in pieces of at least this size.
constexpr std::size_t kPiece = 1 << 18;
// The parser takes an int length.
constexpr std::size_t kMostAtOnce = 1 << 30;

}  // namespace

void XmlFileFeed::start() {
  first_.resize(kPiece);
  const std::size_t got = file_.read(first_.data(), first_.size());
  first_.resize(got);
  if (got == 0) {
    failure_ = " at line 1, column 1: the file is empty";
    return;
  }
  utf32_ = isUtf32(first_.data(), got);
  if (!utf32_) {
    last_ = got == file_.size();
    return;
  }
  // UTF-32, which the parser does not read, is converted whole.
  std::string whole(first_.data(), got);
  first_ = std::vector<char>();
  whole.resize(file_.size());
  std::size_t size = got;
  for (std::size_t more;
       (more = file_.read(&whole[size], whole.size() - size)) > 0;) {
    size += more;
  }
  const std::size_t bad = utf32ToUtf8(whole.data(), size, converted_);
  if (bad != size) failure_ = ": invalid UTF-32 at byte " + std::to_string(bad);
}

bool XmlFileFeed::fail() {
  if (failure_.empty()) failure_ = builder_->failure();
  return false;
}

bool XmlFileFeed::run() {
  if (!failure_.empty()) return false;
  XmlTreeBuilder& builder = *builder_;
  if (builder.suspended()) {
    if (!builder.resume()) return fail();
    if (builder.suspended()) return true;
    finished_ = fedLast_;
  }
  while (!finished_) {
    if (utf32_) {
      const std::size_t left = converted_.size() - convertedAt_;
      const std::size_t piece = std::min(left, kMostAtOnce);
      const bool last = piece == left;
      const bool fed =
          builder.feed(converted_.data() + convertedAt_, piece, last);
      convertedAt_ += piece;
      fedLast_ = last;
      if (!fed) return fail();
    } else if (!first_.empty()) {
      const bool fed = builder.feed(first_.data(), first_.size(), last_);
      first_ = std::vector<char>();
      fedLast_ = last_;
      if (!fed) return fail();
    } else {
      // The parser scans an unfinished token again with every piece: pieces
      // twice its size keep a huge attribute from costing the square of it.
      const std::size_t piece = std::max(kPiece, 2 * builder.pending());
      void* room = builder.room(piece);
      if (room == nullptr) {
        failure_ = ": out of memory";
        return false;
      }
      const std::size_t size = file_.read(static_cast<char*>(room), piece);
      if (watch_ && file_.changed()) {
        failure_ = ": the file changed while it was read";
        return false;
      }
      fedLast_ = size == 0;
      if (!builder.feedRoom(size, fedLast_)) return fail();
    }
    if (builder.suspended()) return true;
    finished_ = fedLast_;
  }
  return true;
}

}  // namespace platform
