#include "platform/xml/xml_file_feed.h"

#include <algorithm>
#include <functional>
#include <string_view>

#include "platform/os/file_reader.h"
#include "platform/os/interruption.h"

namespace platform {

namespace {

std::size_t wholeBlocks(std::size_t size) {
  const std::size_t block = BlockPrints::kBlock;
  return (size + block - 1) / block * block;
}

}  // namespace

bool BlockPrints::add(const char* data, std::size_t size) {
  for (std::size_t at = 0; at < size; at += kBlock) {
    const std::string_view block(data + at, std::min(kBlock, size - at));
    const std::uint64_t print = std::hash<std::string_view>{}(block);
    if (!checking_) {
      prints_.push_back(print);
    } else if (next_ >= prints_.size() || prints_[next_++] != print) {
      return false;
    }
  }
  return true;
}

std::size_t XmlFileFeed::read(char* into, std::size_t size) {
  std::size_t got = 0;
  for (std::size_t more;
       got < size && (more = file_.read(into + got, size - got)) > 0;) {
    got += more;
  }
  position_ += got;
  const bool same = prints_ == nullptr || (prints_->add(into, got) &&
                                           (got > 0 || prints_->allSeen()));
  if (!same) {
    fault_ = Fault::kChanged;
    failure_ = ": the file changed while it was read";
  }
  return got;
}

void XmlFileFeed::start() {
  first_.resize(BlockPrints::kBlock);
  const std::size_t got = read(first_.data(), first_.size());
  first_.resize(got);
  if (fault_ != Fault::kNone) return;
  if (got == 0) {
    fault_ = Fault::kRefused;
    failure_ = " at line 1, column 1: the file is empty";
    return;
  }
  utf32_ = isUtf32(first_.data(), got);
  last_ = got == file_.size();
}

bool XmlFileFeed::fail() {
  if (fault_ == Fault::kNone) {
    fault_ = builder_->outOfMemory() ? Fault::kOutOfMemory : Fault::kRefused;
    failure_ = builder_->failure();
  }
  return false;
}

bool XmlFileFeed::feedUtf32(const char* text, std::size_t size, bool last) {
  converted_.clear();
  const std::size_t bad = decoder_.convert(text, size, converted_);
  if (bad != size) {
    fault_ = Fault::kRefused;
    failure_ =
        ": invalid UTF-32 at byte " + std::to_string(position_ - size + bad);
    return false;
  }
  // A piece is one block at most: the parser keeps what a suspension
  // leaves of it.
  return builder_->feed(converted_.data(), converted_.size(), last);
}

bool XmlFileFeed::run() {
  if (fault_ != Fault::kNone) return false;
  XmlTreeBuilder& builder = *builder_;
  if (builder.suspended()) {
    if (!builder.resume()) return fail();
    if (builder.suspended()) return true;
    finished_ = fedLast_;
  }
  while (!finished_) {
    // A file of gigabytes takes a while: Ctrl-C need not wait for its end.
    throwIfInterrupted();
    if (!first_.empty()) {
      const std::vector<char> first = std::move(first_);
      first_ = std::vector<char>();
      fedLast_ = last_;
      const bool fed = utf32_ ? feedUtf32(first.data(), first.size(), last_)
                              : builder.feed(first.data(), first.size(), last_);
      if (!fed) return fail();
    } else if (utf32_) {
      raw_.resize(BlockPrints::kBlock);
      const std::size_t size = read(raw_.data(), raw_.size());
      if (fault_ != Fault::kNone) return false;
      fedLast_ = size == 0;
      if (!feedUtf32(raw_.data(), size, fedLast_)) return fail();
    } else {
      // The parser scans an unfinished token again with every piece: pieces
      // twice its size keep a huge attribute from costing the square of it.
      const std::size_t piece =
          wholeBlocks(std::max(BlockPrints::kBlock, 2 * builder.pending()));
      void* room = builder.room(piece);
      if (room == nullptr) {
        fault_ = Fault::kOutOfMemory;
        failure_ = ": out of memory";
        return false;
      }
      const std::size_t size = read(static_cast<char*>(room), piece);
      if (fault_ != Fault::kNone) return false;
      fedLast_ = size == 0;
      if (!builder.feedRoom(size, fedLast_)) return fail();
    }
    if (builder.suspended()) return true;
    finished_ = fedLast_;
  }
  return true;
}

}  // namespace platform
