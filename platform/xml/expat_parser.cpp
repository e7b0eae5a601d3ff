#include "platform/xml/expat_parser.h"

#include <random>

#include "platform/core/tov_exception.h"
#include "platform/xml/allocation_watch.h"

namespace platform {

namespace {

const XML_Memory_Handling_Suite kWatchedMemory = {
    watchedAllocate, watchedReallocate, watchedFree};

// Expat draws a new salt for its hash tables from the system for every
// parser, which costs more than parsing a small answer; one drawn per run
// guards as well against texts made to collide.
unsigned long hashSalt() {
  static const unsigned long salt = [] {
    std::random_device random;
    unsigned long drawn = 0;
    while (drawn == 0) {
      drawn = (static_cast<unsigned long>(random()) << 16) ^ random();
    }
    return drawn;
  }();
  return salt;
}

}  // namespace

ExpatParser::ExpatParser(const char* encoding, char namespaceSeparator,
                         void* owner)
    : owner_(owner) {
  const XML_Char separator[] = {namespaceSeparator, '\0'};
  parser_ = XML_ParserCreate_MM(encoding, &kWatchedMemory,
                                namespaceSeparator != 0 ? separator : nullptr);
  if (parser_ == nullptr) {
    takeAllocationFailure();
    throw new TOVException("Out of memory while an XML parser was made");
  }
  XML_SetHashSalt(parser_, hashSalt());
  XML_SetUserData(parser_, this);
  XML_SetExternalEntityRefHandler(parser_, externalEntity);
  XML_SetSkippedEntityHandler(parser_, skippedEntity);
  // Its first argument is then this object, not the parser.
  XML_SetExternalEntityRefHandlerArg(parser_, this);
}

ExpatParser::~ExpatParser() { XML_ParserFree(parser_); }

void ExpatParser::refuse(const std::string& reason) {
  if (!refusal_.empty()) return;
  refusal_ = reason;
  line_ = XML_GetCurrentLineNumber(parser_);
  column_ = XML_GetCurrentColumnNumber(parser_) + 1;
  XML_StopParser(parser_, XML_FALSE);
}

void ExpatParser::refuseForMemory() {
  outOfMemory_ = true;
  refuse("out of memory");
}

bool ExpatParser::feed(const char* text, std::size_t size, bool last) {
  // The parser takes an int length.
  constexpr std::size_t kMost = 1 << 30;
  do {
    const std::size_t piece = size < kMost ? size : kMost;
    const bool final = last && piece == size;
    const XML_Status status =
        XML_Parse(parser_, text, static_cast<int>(piece), final);
    if (status == XML_STATUS_ERROR) return checked(false);
    // The parser keeps the rest of the piece until it is resumed.
    if (status == XML_STATUS_SUSPENDED) break;
    text += piece;
    size -= piece;
  } while (size > 0);
  return checked(true);
}

bool ExpatParser::outOfMemory() const {
  return outOfMemory_ || XML_GetErrorCode(parser_) == XML_ERROR_NO_MEMORY;
}

bool ExpatParser::checked(bool parsed) {
  if (takeAllocationFailure() && refusal_.empty()) {
    refusal_ = "out of memory";
    outOfMemory_ = true;
  }
  return parsed && refusal_.empty();
}

std::string ExpatParser::failure() const {
  if (outOfMemory()) return "out of memory";
  if (!refusal_.empty()) {
    return "at line " + std::to_string(line_) + ", column " +
           std::to_string(column_) + ": " + refusal_;
  }
  return "at line " + std::to_string(XML_GetCurrentLineNumber(parser_)) +
         ", column " + std::to_string(XML_GetCurrentColumnNumber(parser_) + 1) +
         ": " + XML_ErrorString(XML_GetErrorCode(parser_));
}

int XMLCALL ExpatParser::externalEntity(XML_Parser parser, const XML_Char* name,
                                        const XML_Char*, const XML_Char*,
                                        const XML_Char*) {
  ExpatParser& self = of(static_cast<void*>(parser));
  self.guarded([&] {
    self.refuse("the external entity \"" + std::string(name ? name : "") +
                "\" is never read");
  });
  return XML_STATUS_ERROR;
}

void XMLCALL ExpatParser::skippedEntity(void* data, const XML_Char* name,
                                        int parameter) {
  if (parameter != 0) return;  // a declaration that may be missed
  ExpatParser& self = of(data);
  self.guarded([&] {
    self.refuse("the entity \"" + std::string(name) +
                "\" is declared outside the document, which is never read");
  });
}

}  // namespace platform
