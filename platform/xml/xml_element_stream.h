#pragma once

#include <memory>

class TOVIDOM_Document;

namespace platform {

// An XML file read twice, in pieces, so that no more of it is held than one
// element: `count` reads it whole, refuses it as TOVIDOM_Parser::parse
// would when it is not well-formed, and counts the elements of one name;
// `next` then reads it again and hands over, one at a time and in document
// order, each element of that name that no other of that name encloses,
// with its subtree. What the document type declares applies to both.
class XmlElementStream {
 public:
  // Opens the file; throws as TOVIDOM_Parser::parse does. `key` names an
  // attribute of the elements whose number `keysRise` tells of.
  XmlElementStream(const char* path, const char* name, const char* key = "");
  ~XmlElementStream();
  XmlElementStream(const XmlElementStream&) = delete;
  XmlElementStream& operator=(const XmlElementStream&) = delete;

  // The elements of the name, nested ones included. Throws the parse
  // failure.
  unsigned long count();
  // After `count`: whether the elements' keys rise in document order.
  bool keysRise() const;
  // The file's size in bytes when it was opened.
  unsigned long long size() const;

  enum class Next { kElement, kEnd, kChanged };
  // After `count`: fills `document`, which must be empty, with the next
  // outermost element. kChanged, with `document` left empty, when a piece
  // of the file that this reading is about to use differs from what
  // `count` read; nothing of that piece is handed out. A change past what
  // `count` read, or after it is read again, is none. Throws when memory
  // runs out.
  Next next(TOVIDOM_Document& document);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform
