#include <cstring>
#include <string>
#include <vector>

#include "platform/core/decimal_number.h"
#include "platform/xml/expat_parser.h"
#include "platform/xml/xml_document_data.h"
#include "platform/xml/xml_namespaces.h"
#include "platform/xml/xml_tree_builder.h"

namespace platform {

namespace {

// Every nested transaction of an action log is sent with its whole subtree,
// so the requests of a document nested N deep grow with N squared. Action
// logs and scripts stay far below this.
constexpr int kMaxDepth = 2048;

}  // namespace

struct XmlTreeBuilder::State {
  XmlDocumentData* data;
  ExpatParser parser;
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

  State(XmlDocumentData* target, bool utf8)
      : data(target), parser(utf8 ? "UTF-8" : nullptr, 0, this) {}

  static State& of(void* user) { return ExpatParser::owner<State>(user); }

  bool building() const { return select.empty() || captured > 0; }

  void refuse(const std::string& reason) { parser.refuse(reason); }
  void refuseForMemory() { parser.refuseForMemory(); }
  template <typename Work>
  void guarded(Work work) {
    parser.guarded(work);
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
    : state_(std::make_unique<State>(data, utf8)) {
  XML_Parser parser = state_->parser.get();
  XML_SetElementHandler(parser, State::start, State::end);
  XML_SetCharacterDataHandler(parser, State::characters);
  XML_SetCdataSectionHandler(parser, State::startCdata, State::endCdata);
  XML_SetCommentHandler(parser, State::comment);
  XML_SetProcessingInstructionHandler(parser, State::instruction);
  XML_SetDoctypeDeclHandler(parser, State::startDoctype, State::endDoctype);
}

XmlTreeBuilder::~XmlTreeBuilder() = default;

bool XmlTreeBuilder::feed(const char* text, std::size_t size, bool last) {
  return state_->parser.feed(text, size, last);
}

void* XmlTreeBuilder::room(std::size_t size) {
  return XML_GetBuffer(state_->parser.get(), static_cast<int>(size));
}

bool XmlTreeBuilder::feedRoom(std::size_t size, bool last) {
  const XML_Status status =
      XML_ParseBuffer(state_->parser.get(), static_cast<int>(size), last);
  return state_->parser.checked(status != XML_STATUS_ERROR);
}

bool XmlTreeBuilder::outOfMemory() const {
  return state_->parser.outOfMemory();
}

bool XmlTreeBuilder::suspended() const {
  XML_ParsingStatus status{};
  XML_GetParsingStatus(state_->parser.get(), &status);
  return status.parsing == XML_SUSPENDED;
}

bool XmlTreeBuilder::resume() {
  return state_->parser.checked(XML_ResumeParser(state_->parser.get()) !=
                                XML_STATUS_ERROR);
}

std::size_t XmlTreeBuilder::pending() const {
  int offset = 0;
  int size = 0;
  if (XML_GetInputContext(state_->parser.get(), &offset, &size) == nullptr) {
    return 0;
  }
  return size > offset ? static_cast<std::size_t>(size - offset) : 0;
}

std::string XmlTreeBuilder::failure() const {
  const std::string failure = state_->parser.failure();
  return (failure == "out of memory" ? ": " : " ") + failure;
}

}  // namespace platform
