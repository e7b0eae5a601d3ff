#pragma once

// Internal to the platform layer: the one way an expat parser is made here,
// with the memory the document layer watches, a hash salt drawn once a run,
// entities from outside refused, and a refusal of our own told with its
// place. Only platform sources include this header.

#include <expat.h>

#include <cstddef>
#include <string>

namespace platform {

class ExpatParser {
 public:
  // `encoding` overrides the one the text declares (null: as declared);
  // `namespaceSeparator` turns namespace processing on (0: off). Handlers
  // get this object as their user data, and `owner` from it. Throws a
  // TOVException when memory runs out.
  ExpatParser(const char* encoding, char namespaceSeparator, void* owner);
  ~ExpatParser();
  ExpatParser(const ExpatParser&) = delete;
  ExpatParser& operator=(const ExpatParser&) = delete;

  XML_Parser get() const { return parser_; }

  // This object and its owner, from a handler's user data.
  static ExpatParser& of(void* data) {
    return *static_cast<ExpatParser*>(data);
  }
  template <typename T>
  static T& owner(void* data) {
    return *static_cast<T*>(of(data).owner_);
  }

  // Stops the parse with `reason` at the place of the current event; the
  // first refusal holds.
  void refuse(const std::string& reason);
  void refuseForMemory();
  // A handler's work: nothing may unwind through the parser's C frames, so a
  // throw stops the parse as memory that ran out.
  template <typename Work>
  void guarded(Work work) {
    try {
      work();
    } catch (...) {
      refuseForMemory();
    }
  }

  // Parses `size` bytes in pieces the parser takes; false on a fault or a
  // refusal. Stops early when a handler suspends the parse.
  bool feed(const char* text, std::size_t size, bool last);
  bool refused() const { return !refusal_.empty(); }
  // After a false feed, or memory watched to have run out: whether memory
  // ran out rather than the text being refused.
  bool outOfMemory() const;
  // Marks the parse as out of memory when the watched allocations failed
  // since the last look; true when the parse is sound.
  bool checked(bool parsed);
  // "at line L, column C: reason" (without a leading space), or
  // "out of memory".
  std::string failure() const;

 private:
  static int XMLCALL externalEntity(XML_Parser parser, const XML_Char* name,
                                    const XML_Char*, const XML_Char*,
                                    const XML_Char*);
  static void XMLCALL skippedEntity(void* user, const XML_Char* name,
                                    int parameter);

  XML_Parser parser_ = nullptr;
  void* owner_ = nullptr;
  std::string refusal_;
  bool outOfMemory_ = false;
  unsigned long line_ = 0;
  unsigned long column_ = 0;
};

}  // namespace platform
