#pragma once

// Internal to the platform layer: a regular file fed to a tree builder in
// pieces, so that the file itself is never held whole. Only platform
// sources include this header.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/xml/xml_text_check.h"
#include "platform/xml/xml_tree_builder.h"

namespace platform {

class RegularFileStream;

// What a first reading of a file saw, block by block, for a second reading
// to check before it uses a byte: a change anywhere it reads is seen, and
// nothing else counts.
class BlockPrints {
 public:
  // Files are read in whole blocks from block boundaries.
  static constexpr std::size_t kBlock = std::size_t{1} << 18;

  // From now on the blocks are checked, not taken down.
  void startChecking() {
    checking_ = true;
    next_ = 0;
  }
  // Takes down, or checks, the next blocks: `size` bytes, whole blocks but
  // for the file's last. False when one differs from the first reading.
  bool add(const char* data, std::size_t size);
  // At the end of the file: whether as many blocks were read as before.
  bool allSeen() const { return !checking_ || next_ == prints_.size(); }

 private:
  std::vector<std::uint64_t> prints_;
  std::size_t next_ = 0;
  bool checking_ = false;
};

class XmlFileFeed {
 public:
  enum class Fault { kNone, kRefused, kChanged, kOutOfMemory };

  // The builder is made once the first bytes tell whether the text must be
  // converted to UTF-8 first: `make(utf8)`. With `prints`, every block read
  // is taken down or checked by them.
  template <typename Make>
  XmlFileFeed(RegularFileStream& file, Make make, BlockPrints* prints = nullptr)
      : file_(file), prints_(prints) {
    start();
    builder_ = make(utf32_);
  }

  XmlTreeBuilder& builder() { return *builder_; }

  // Feeds the file until it ends or the builder suspends. False with
  // `fault()` and `failure()` set when it cannot go on.
  bool run();
  bool finished() const { return finished_; }
  Fault fault() const { return fault_; }
  // " at line L, column C: reason", or ": reason".
  const std::string& failure() const { return failure_; }

 private:
  void start();
  // Reads `size` bytes, or up to the end, checked by the prints.
  std::size_t read(char* into, std::size_t size);
  bool fail();
  bool feedUtf32(const char* text, std::size_t size, bool last);

  RegularFileStream& file_;
  BlockPrints* prints_;
  std::unique_ptr<XmlTreeBuilder> builder_;
  std::vector<char> first_;  // the first piece, fed on the first run
  bool utf32_ = false;
  Utf32Decoder decoder_;
  std::vector<char> raw_;     // a piece of UTF-32 text as read...
  std::string converted_;     // ...and converted
  std::size_t position_ = 0;  // bytes of the file read
  bool last_ = false;         // the first piece is the whole file
  bool fedLast_ = false;      // the end of the text was fed
  bool finished_ = false;
  Fault fault_ = Fault::kNone;
  std::string failure_;
};

}  // namespace platform
