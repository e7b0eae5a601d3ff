#pragma once

// Internal to the platform layer: a regular file fed to a tree builder in
// pieces, so that the file itself is never held whole. Only platform
// sources include this header.

#include <memory>
#include <string>
#include <vector>

#include "platform/xml/xml_tree_builder.h"

namespace platform {

class RegularFileStream;

class XmlFileFeed {
 public:
  // The builder is made once the first bytes tell whether the text must be
  // converted to UTF-8 first: `make(utf8)`.
  // With `watch`, a file whose size or modification time differs from
  // when it was opened is refused at each piece read.
  template <typename Make>
  XmlFileFeed(RegularFileStream& file, Make make, bool watch = false)
      : file_(file), watch_(watch) {
    start();
    builder_ = make(utf32_);
  }

  XmlTreeBuilder& builder() { return *builder_; }

  // Feeds the file until it ends or the builder suspends. False with
  // `failure()` set when the text is refused.
  bool run();
  bool finished() const { return finished_; }
  // " at line L, column C: reason", or ": reason".
  const std::string& failure() const { return failure_; }

 private:
  void start();
  bool fail();

  RegularFileStream& file_;
  std::unique_ptr<XmlTreeBuilder> builder_;
  std::vector<char> first_;  // the first piece, fed on the first run
  std::string converted_;    // UTF-32 text, converted whole
  std::size_t convertedAt_ = 0;
  bool watch_;
  bool utf32_ = false;
  bool last_ = false;     // the first piece is the whole file
  bool fedLast_ = false;  // the end of the text was fed
  bool finished_ = false;
  std::string failure_;
};

}  // namespace platform
