#pragma once

// Internal to the platform layer: expat decides well-formedness and decodes
// the text; this builds what it reports into a document's tree. Only
// platform sources include this header.

#include <cstddef>
#include <memory>
#include <string>

namespace platform {

struct XmlDocumentData;

class XmlTreeBuilder {
 public:
  // `utf8` overrides the encoding the text declares: for text converted to
  // UTF-8 before it is fed.
  XmlTreeBuilder(XmlDocumentData& data, bool utf8);
  // Builds only the elements named `name` that no element of that name
  // encloses, each with its subtree, into the document set by `target`: the
  // parse is suspended after each, until `resume`. Without `capture`
  // nothing is built and the elements are only counted.
  XmlTreeBuilder(const std::string& name, bool capture, bool utf8);
  ~XmlTreeBuilder();
  XmlTreeBuilder(const XmlTreeBuilder&) = delete;
  XmlTreeBuilder& operator=(const XmlTreeBuilder&) = delete;

  // Feeds the next piece of the text; `last` for the final one. False when
  // the text is not a well-formed document, or is refused.
  bool feed(const char* text, std::size_t size, bool last);
  // The same for a piece read into `room(size)`: no copy.
  void* room(std::size_t size);
  bool feedRoom(std::size_t size, bool last);

  void target(XmlDocumentData& data);
  // While counting: whether the number in attribute `key` of the selected
  // elements (read as atoi reads it) rises in document order.
  void watchKey(const std::string& key);
  bool keysRise() const;
  // The elements of the selected name met so far, nested ones included.
  unsigned long long found() const;
  bool suspended() const;
  // After a false feed: whether memory ran out, rather than the text being
  // refused.
  bool outOfMemory() const;
  // Goes on after a suspension; false as for `feed`.
  bool resume();

  // The bytes fed and not yet parsed: the start of a token that a later
  // piece completes.
  std::size_t pending() const;

  // After a false feed: "at line L, column C: reason", or ": reason".
  std::string failure() const;

 private:
  struct State;
  XmlTreeBuilder(XmlDocumentData* data, bool utf8);
  std::unique_ptr<State> state_;
};

}  // namespace platform
