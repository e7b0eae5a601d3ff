#include <expat.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/core/decimal_number.h"
#include "platform/xml/allocation_watch.h"
#include "platform/xml/xml_document_data.h"
#include "platform/xml/xml_namespaces.h"
#include "platform/xml/xml_tree_builder.h"

namespace platform {

namespace {

// Every nested transaction of an action log is sent with its whole subtree,
// so the requests of a document nested N deep grow with N squared. Action
// logs and scripts stay far below this.
constexpr int kMaxDepth = 2048;

struct ParserFree {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

const XML_Memory_Handling_Suite kWatchedMemory = {
    watchedAllocate, watchedReallocate, watchedFree};

}  // namespace

struct XmlTreeBuilder::State {
  XmlDocumentData* data;
  std::unique_ptr<XML_ParserStruct, ParserFree> parser;
  pugi::xml_node current;
  std::string text;  // character data not yet in a node
  int depth = 0;
  // Empty: the whole document is built. Otherwise only the outermost
  // elements of this name are, when `capture` is set, one at a time.
  std::string select;
  bool capture = false;
  int captured = 0;  // levels inside the element being built
  // The namespaces declared around the element being built, with where
  // each enclosing element's own begin.
  Declarations outside;
  std::vector<std::size_t> outsideMarks;
  unsigned long long found = 0;
  std::string key;  // its number is to rise from one selected to the next
  bool keysRise = true;
  int lastKey = 0;
  bool inCdata = false;
  bool inDoctype = false;
  // A refusal of our own, with the place of the event that caused it.
  std::string refusal;
  bool outOfMemory = false;  // a refusal without a place to show
  unsigned long line = 0;
  unsigned long column = 0;

  explicit State(XmlDocumentData* target) : data(target) {}

  static State& of(void* user) { return *static_cast<State*>(user); }

  bool building() const { return select.empty() || captured > 0; }

  void refuse(const std::string& reason) {
    if (!refusal.empty()) return;
    refusal = reason;
    line = XML_GetCurrentLineNumber(parser.get());
    column = XML_GetCurrentColumnNumber(parser.get()) + 1;
    XML_StopParser(parser.get(), XML_FALSE);
  }

  void refuseForMemory() {
    outOfMemory = true;
    refuse("out of memory");
  }

  // A handler's work; nothing may unwind through the parser's C frames.
  template <typename Work>
  void guarded(Work work) {
    try {
      work();
    } catch (...) {
      refuseForMemory();
    }
  }

  pugi::xml_node add(pugi::xml_node_type type) {
    pugi::xml_node node = current.append_child(type);
    if (!node) refuseForMemory();
    return node;
  }

  void flushText() {
    if (text.empty()) return;
    add(inCdata ? pugi::node_cdata : pugi::node_pcdata)
        .set_value(text.data(), text.size());
    text.clear();
  }

  static void XMLCALL start(void* user, const XML_Char* name,
                            const XML_Char** attributes) {
    State& s = of(user);
    s.guarded([&] {
      s.flushText();
      if (++s.depth > kMaxDepth) {
        s.refuse("elements nested deeper than " + std::to_string(kMaxDepth) +
                 " levels");
        return;
      }
      if (!s.select.empty()) {
        const bool selected = s.select == name;
        if (selected) ++s.found;
        if (!s.capture) {
          if (selected && !s.key.empty()) s.noteKey(attributes);
          return;
        }
        if (s.captured == 0 && !selected) {
          s.enterOutside(attributes);
          return;
        }
        if (s.captured++ == 0) s.current = s.data->document;
      }
      pugi::xml_node element = s.add(pugi::node_element);
      if (!element) return;
      element.set_name(name);
      // Declared defaults follow the attributes that were written.
      for (; attributes[0] != nullptr; attributes += 2) {
        element.append_attribute(attributes[0]).set_value(attributes[1]);
      }
      s.current = element;
    });
  }

  void noteKey(const XML_Char** attributes) {
    const char* value = "";
    for (; attributes[0] != nullptr; attributes += 2) {
      if (key == attributes[0]) value = attributes[1];
    }
    const int number = decimalToInt(value);
    if (found > 1 && number <= lastKey) keysRise = false;
    lastKey = number;
  }

  void enterOutside(const XML_Char** attributes) {
    outsideMarks.push_back(outside.size());
    for (; attributes[0] != nullptr; attributes += 2) {
      const char* name = attributes[0];
      if (std::strncmp(name, "xmlns", 5) != 0) continue;
      if (name[5] == '\0') outside.emplace_back("", attributes[1]);
      if (name[5] == ':') outside.emplace_back(name + 6, attributes[1]);
    }
  }

  void leaveOutside() {
    if (outsideMarks.empty()) return;
    outside.resize(outsideMarks.back());
    outsideMarks.pop_back();
  }

  static void XMLCALL end(void* user, const XML_Char*) {
    State& s = of(user);
    --s.depth;
    if (!s.building()) {
      s.leaveOutside();
      return;
    }
    s.guarded([&] {
      s.flushText();
      const pugi::xml_node finished = s.current;
      s.current = s.current.parent();
      // The caller takes the element before the parse goes on, with the
      // declarations its names need from around it.
      if (!s.select.empty() && --s.captured == 0) {
        if (!declareWhatItNeeds(finished, s.outside)) s.refuseForMemory();
        XML_StopParser(s.parser.get(), XML_TRUE);
      }
    });
  }

  static void XMLCALL characters(void* user, const XML_Char* data, int size) {
    State& s = of(user);
    if (!s.building()) return;
    s.guarded([&] { s.text.append(data, static_cast<std::size_t>(size)); });
  }

  static void XMLCALL startCdata(void* user) {
    State& s = of(user);
    if (!s.building()) return;
    s.guarded([&] {
      s.flushText();
      s.inCdata = true;
    });
  }

  static void XMLCALL endCdata(void* user) {
    State& s = of(user);
    if (!s.building()) return;
    s.guarded([&] {
      // An empty section is a node all the same.
      if (s.text.empty()) s.add(pugi::node_cdata);
      s.flushText();
      s.inCdata = false;
    });
  }

  static void XMLCALL comment(void* user, const XML_Char* data) {
    State& s = of(user);
    // The document type is not a node.
    if (s.inDoctype || !s.building()) return;
    s.guarded([&] {
      s.flushText();
      s.add(pugi::node_comment).set_value(data);
    });
  }

  static void XMLCALL instruction(void* user, const XML_Char* target,
                                  const XML_Char* data) {
    State& s = of(user);
    if (s.inDoctype || !s.building()) return;
    s.guarded([&] {
      s.flushText();
      pugi::xml_node node = s.add(pugi::node_pi);
      node.set_name(target);
      node.set_value(data);
    });
  }

  static void XMLCALL startDoctype(void* user, const XML_Char*, const XML_Char*,
                                   const XML_Char*, int) {
    of(user).inDoctype = true;
  }
  static void XMLCALL endDoctype(void* user) { of(user).inDoctype = false; }

  static int XMLCALL externalEntity(XML_Parser parser, const XML_Char* name,
                                    const XML_Char*, const XML_Char*,
                                    const XML_Char*) {
    State& s = of(XML_GetUserData(parser));
    s.guarded([&] {
      s.refuse("the external entity \"" + std::string(name ? name : "") +
               "\" is never read");
    });
    return XML_STATUS_ERROR;
  }

  static void XMLCALL skippedEntity(void* user, const XML_Char* name,
                                    int parameter) {
    if (parameter != 0) return;  // a declaration that may be missed
    State& s = of(user);
    s.guarded([&] {
      s.refuse("the entity \"" + std::string(name) +
               "\" is declared outside the document, which is never read");
    });
  }
};

XmlTreeBuilder::XmlTreeBuilder(XmlDocumentData& data, bool utf8)
    : XmlTreeBuilder(&data, utf8) {
  state_->current = data.document;
}

XmlTreeBuilder::XmlTreeBuilder(const std::string& name, bool capture, bool utf8)
    : XmlTreeBuilder(nullptr, utf8) {
  state_->select = name;
  state_->capture = capture;
}

void XmlTreeBuilder::target(XmlDocumentData& data) { state_->data = &data; }

unsigned long long XmlTreeBuilder::found() const { return state_->found; }

void XmlTreeBuilder::watchKey(const std::string& key) { state_->key = key; }

bool XmlTreeBuilder::keysRise() const { return state_->keysRise; }

XmlTreeBuilder::XmlTreeBuilder(XmlDocumentData* data, bool utf8)
    : state_(std::make_unique<State>(data)) {
  State& s = *state_;
  s.parser.reset(
      XML_ParserCreate_MM(utf8 ? "UTF-8" : nullptr, &kWatchedMemory, nullptr));
  XML_Parser parser = s.parser.get();
  if (parser == nullptr) return;
  XML_SetUserData(parser, &s);
  XML_SetElementHandler(parser, State::start, State::end);
  XML_SetCharacterDataHandler(parser, State::characters);
  XML_SetCdataSectionHandler(parser, State::startCdata, State::endCdata);
  XML_SetCommentHandler(parser, State::comment);
  XML_SetProcessingInstructionHandler(parser, State::instruction);
  XML_SetDoctypeDeclHandler(parser, State::startDoctype, State::endDoctype);
  XML_SetExternalEntityRefHandler(parser, State::externalEntity);
  XML_SetSkippedEntityHandler(parser, State::skippedEntity);
}

XmlTreeBuilder::~XmlTreeBuilder() = default;

bool XmlTreeBuilder::checked(bool parsed) {
  if (takeAllocationFailure() && state_->refusal.empty()) {
    state_->refusal = "out of memory";
    state_->outOfMemory = true;
  }
  return parsed && state_->refusal.empty();
}

bool XmlTreeBuilder::feed(const char* text, std::size_t size, bool last) {
  if (!state_->parser) return checked(false);
  // The parser takes an int length.
  constexpr std::size_t kMost = 1 << 30;
  do {
    const std::size_t piece = size < kMost ? size : kMost;
    const bool final = last && piece == size;
    const XML_Status status =
        XML_Parse(state_->parser.get(), text, static_cast<int>(piece), final);
    if (status == XML_STATUS_ERROR) return checked(false);
    // The parser keeps the rest of the piece for `resume`.
    if (status == XML_STATUS_SUSPENDED) break;
    text += piece;
    size -= piece;
  } while (size > 0);
  return checked(true);
}

void* XmlTreeBuilder::room(std::size_t size) {
  if (!state_->parser) return nullptr;
  return XML_GetBuffer(state_->parser.get(), static_cast<int>(size));
}

bool XmlTreeBuilder::feedRoom(std::size_t size, bool last) {
  if (!state_->parser) return checked(false);
  const XML_Status status =
      XML_ParseBuffer(state_->parser.get(), static_cast<int>(size), last);
  return checked(status != XML_STATUS_ERROR);
}

bool XmlTreeBuilder::outOfMemory() const {
  return !state_->parser || state_->outOfMemory ||
         XML_GetErrorCode(state_->parser.get()) == XML_ERROR_NO_MEMORY;
}

bool XmlTreeBuilder::suspended() const {
  XML_ParsingStatus status{};
  if (state_->parser) XML_GetParsingStatus(state_->parser.get(), &status);
  return status.parsing == XML_SUSPENDED;
}

bool XmlTreeBuilder::resume() {
  return checked(XML_ResumeParser(state_->parser.get()) != XML_STATUS_ERROR);
}

std::size_t XmlTreeBuilder::pending() const {
  int offset = 0;
  int size = 0;
  if (!state_->parser ||
      XML_GetInputContext(state_->parser.get(), &offset, &size) == nullptr) {
    return 0;
  }
  return size > offset ? static_cast<std::size_t>(size - offset) : 0;
}

std::string XmlTreeBuilder::failure() const {
  const State& s = *state_;
  if (!s.parser || s.outOfMemory) return ": out of memory";
  if (!s.refusal.empty()) {
    return " at line " + std::to_string(s.line) + ", column " +
           std::to_string(s.column) + ": " + s.refusal;
  }
  XML_Parser parser = s.parser.get();
  return " at line " + std::to_string(XML_GetCurrentLineNumber(parser)) +
         ", column " + std::to_string(XML_GetCurrentColumnNumber(parser) + 1) +
         ": " + XML_ErrorString(XML_GetErrorCode(parser));
}

}  // namespace platform
