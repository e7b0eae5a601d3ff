#include "platform/xml/xml_normal_form.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "platform/core/tov_exception.h"
#include "platform/xml/allocation_watch.h"
#include "platform/xml/expat_parser.h"

namespace platform {

namespace {

// Between a namespace URI and a local name in expat's names: no name or URI
// of a well-formed document holds U+0001.
constexpr char kSeparator = '\x01';
constexpr std::string_view kXmlNamespace =
    "http://www.w3.org/XML/1998/namespace";

[[noreturn]] void outOfMemory() {
  takeAllocationFailure();
  throw new TOVException(
      "Out of memory while comparing an answer with the baseline");
}

bool isBlank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

std::uint32_t narrow(std::size_t value) {
  // Offsets are 32 bits: an answer the run holds is compared in pieces of
  // no more than that.
  if (value > std::numeric_limits<std::uint32_t>::max()) outOfMemory();
  return static_cast<std::uint32_t>(value);
}

}  // namespace

XmlNameTable::XmlNameTable(
    std::vector<std::pair<std::string, std::string>> prefixes)
    : prefixes_(std::move(prefixes)) {
  entries_.push_back(Entry());
}

const std::string& XmlNameTable::prefixFor(std::string_view uri) {
  for (const auto& [prefix, known] : prefixes_) {
    if (known == uri) return prefix;
  }
  for (const auto& [prefix, known] : namedHere_) {
    if (known == uri) return prefix;
  }
  std::string name;
  bool taken = true;
  while (taken) {
    name = "ns" + std::to_string(++counter_);
    taken = std::any_of(prefixes_.begin(), prefixes_.end(),
                        [&](const auto& pair) { return pair.first == name; });
  }
  namedHere_.emplace_back(std::move(name), std::string(uri));
  return namedHere_.back().first;
}

std::uint32_t XmlNameTable::intern(std::string_view uri,
                                   std::string_view local) {
  std::string shown;
  if (!uri.empty()) shown = prefixFor(uri) + ":";
  shown.append(local);
  const auto found = byShown_.find(shown);
  if (found != byShown_.end()) return found->second;
  const auto number = narrow(entries_.size());
  entries_.push_back(Entry{shown, std::string(uri), std::string(local)});
  byShown_.emplace(std::move(shown), number);
  return number;
}

std::uint32_t XmlNameTable::find(std::string_view shown) const {
  const auto found = byShown_.find(std::string(shown));
  return found == byShown_.end() ? 0 : found->second;
}

std::uint32_t XmlNameTable::find(std::string_view uri,
                                 std::string_view local) const {
  for (std::uint32_t name = 1; name < entries_.size(); ++name) {
    if (entries_[name].local == local && entries_[name].uri == uri) {
      return name;
    }
  }
  return 0;
}

std::uint32_t XmlNameTable::fromExpat(const char* name) {
  const auto found = byExpat_.find(name);
  if (found != byExpat_.end()) return found->second;
  const char* separator = std::strchr(name, kSeparator);
  const std::uint32_t number =
      separator == nullptr
          ? intern({}, name)
          : intern(std::string_view(name,
                                    static_cast<std::size_t>(separator - name)),
                   separator + 1);
  byExpat_.emplace(name, number);
  return number;
}

const XmlNormalForm::Attribute* XmlNormalForm::attribute(
    const Node& element, std::uint32_t name) const {
  for (std::uint32_t a = element.attributes; a < element.attributesEnd; ++a) {
    if (attributes[a].name == name) return &attributes[a];
  }
  return nullptr;
}

void XmlNormalForm::setValue(Attribute& attribute, std::string_view text) {
  // An attribute's size has 30 bits.
  if (text.size() >= (std::size_t{1} << 30)) outOfMemory();
  attribute.value = narrow(values.size());
  attribute.size = static_cast<std::uint32_t>(text.size()) & 0x3FFFFFFFu;
  values.append(text);
}

void XmlNormalForm::setValue(Node& text, std::string_view value) {
  text.name = narrow(values.size());
  text.attributes = narrow(value.size());
  text.attributesEnd = 0;
  values.append(value);
}

bool XmlNormalForm::uriOf(std::uint32_t scope, std::string_view prefix,
                          std::string_view& uri) const {
  if (prefix == "xml") {
    uri = kXmlNamespace;
    return true;
  }
  for (; scope != 0; scope = bindings[scope].parent) {
    if (bindings[scope].prefix == prefix) {
      uri = bindings[scope].uri;
      // An undeclared prefix is no prefix; an undeclared default is none.
      return !uri.empty() || prefix.empty();
    }
  }
  uri = {};
  return prefix.empty();
}

void XmlNormalForm::compact() {
  struct Open {
    std::uint32_t oldEnd;
    std::uint32_t node;
  };
  std::vector<Open> open;
  std::uint32_t write = 0;
  std::uint32_t attributeWrite = 0;
  bool textBefore = false;  // the node written last is a text sibling
  const auto count = static_cast<std::uint32_t>(nodes.size());
  for (std::uint32_t read = 0; read < count;) {
    while (!open.empty() && open.back().oldEnd <= read) {
      nodes[open.back().node].end = write;
      open.pop_back();
      textBefore = false;
    }
    const Node node = nodes[read];
    if ((node.flags & kRemoved) != 0) {
      read = node.end;
      continue;
    }
    if (node.kind == Kind::kText) {
      if (textBefore) {
        Node& before = nodes[write - 1];
        std::string joined(value(before));
        joined.append(value(node));
        setValue(before, joined);
        before.flags = static_cast<std::uint8_t>(before.flags & node.flags &
                                                 (kBlank | kMasked));
      } else {
        nodes[write] = node;
        nodes[write].end = write + 1;
        ++write;
      }
      textBefore = true;
      ++read;
      continue;
    }
    Node& kept = nodes[write];
    kept = node;
    const std::uint32_t first = attributeWrite;
    for (std::uint32_t a = node.attributes; a < node.attributesEnd; ++a) {
      if ((attributes[a].flags & kRemoved) == 0) {
        attributes[attributeWrite++] = attributes[a];
      }
    }
    kept.attributes = first;
    kept.attributesEnd = attributeWrite;
    open.push_back({node.end, write});
    ++write;
    ++read;
    textBefore = false;
  }
  while (!open.empty()) {
    nodes[open.back().node].end = write;
    open.pop_back();
  }
  nodes.resize(write);
  attributes.resize(attributeWrite);
}

namespace {

class NormalFormBuilder {
 public:
  NormalFormBuilder(XmlNameTable& names, XmlNormalForm& form)
      : names_(names), form_(form), parser_(nullptr, kSeparator, this) {
    XML_Parser parser = parser_.get();
    XML_SetElementHandler(parser, start, end);
    XML_SetCharacterDataHandler(parser, characters);
    XML_SetNamespaceDeclHandler(parser, startNamespace, nullptr);
  }

  bool build(std::string_view text, XmlNormalFormFault& fault) {
    form_.nodes.clear();
    form_.attributes.clear();
    form_.values.clear();
    form_.bindings.assign(1, XmlNormalForm::Binding());
    reserveFor(text);
    form_.nodes.emplace_back();  // the document
    open_.push_back(Open{0, 0});
    const bool parsed = parser_.feed(text.data(), text.size(), true);
    if (parser_.outOfMemory()) outOfMemory();
    if (!parsed) {
      fault.text = parser_.failure();
      fault.tooDeep = tooDeep_;
      return false;
    }
    form_.nodes[0].end = narrow(form_.nodes.size());
    return true;
  }

 private:
  struct Open {
    std::uint32_t node;
    std::uint32_t scopeBefore;
  };

  // Room for what the text can hold at most, counted in one pass: a
  // vector that doubles as it fills would cost up to twice the form.
  void reserveFor(std::string_view text) {
    std::size_t elements = 0;
    std::size_t texts = 1;
    std::size_t equals = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
      const char c = text[at];
      if (c == '=') ++equals;
      if (c != '<') continue;
      if (at > 0 && text[at - 1] != '>') ++texts;
      const char next = at + 1 < text.size() ? text[at + 1] : '/';
      if (next != '/' && next != '!' && next != '?') ++elements;
    }
    form_.nodes.reserve(elements + texts + 1);
    form_.attributes.reserve(equals);
    form_.values.reserve(text.size() / 2);
  }

  static NormalFormBuilder& of(void* data) {
    return ExpatParser::owner<NormalFormBuilder>(data);
  }

  void flushText() {
    if (textSize_ == 0) return;
    XmlNormalForm::Node node;
    node.kind = XmlNormalForm::Kind::kText;
    node.name = narrow(textStart_);
    node.attributes = narrow(textSize_);
    const auto index = narrow(form_.nodes.size());
    node.end = index + 1;
    if (isBlank(form_.value(node))) node.flags = XmlNormalForm::kBlank;
    form_.nodes.push_back(node);
    textSize_ = 0;
  }

  static void XMLCALL startNamespace(void* data, const XML_Char* prefix,
                                     const XML_Char* uri) {
    NormalFormBuilder& b = of(data);
    b.parser_.guarded([&] {
      b.form_.bindings.push_back(XmlNormalForm::Binding{
          prefix ? prefix : "", uri ? uri : "", b.pendingScope_});
      b.pendingScope_ = narrow(b.form_.bindings.size() - 1);
    });
  }

  static void XMLCALL start(void* data, const XML_Char* name,
                            const XML_Char** attributes) {
    NormalFormBuilder& b = of(data);
    b.parser_.guarded([&] { b.startElement(name, attributes); });
  }

  void startElement(const XML_Char* name, const XML_Char** attributes) {
    flushText();
    if (open_.size() > static_cast<std::size_t>(kDeepestCompared)) {
      tooDeep_ = true;
      parser_.refuse("elements nested too deep to compare");
      return;
    }
    XmlNormalForm::Node node;
    node.name = names_.fromExpat(name);
    node.scope = pendingScope_;
    node.attributes = narrow(form_.attributes.size());
    for (; attributes[0] != nullptr; attributes += 2) {
      XmlNormalForm::Attribute attribute;
      attribute.name = names_.fromExpat(attributes[0]);
      form_.setValue(attribute, attributes[1]);
      form_.attributes.push_back(attribute);
    }
    node.attributesEnd = narrow(form_.attributes.size());
    std::sort(form_.attributes.begin() + node.attributes,
              form_.attributes.end(),
              [this](const XmlNormalForm::Attribute& x,
                     const XmlNormalForm::Attribute& y) {
                return names_.shown(x.name) < names_.shown(y.name);
              });
    const auto index = narrow(form_.nodes.size());
    form_.nodes.push_back(node);
    open_.push_back(Open{index, scope_});
    scope_ = pendingScope_;
  }

  static void XMLCALL end(void* data, const XML_Char*) {
    NormalFormBuilder& b = of(data);
    b.parser_.guarded([&] {
      b.flushText();
      const Open element = b.open_.back();
      b.open_.pop_back();
      b.form_.nodes[element.node].end = narrow(b.form_.nodes.size());
      b.scope_ = b.pendingScope_ = element.scopeBefore;
    });
  }

  static void XMLCALL characters(void* data, const XML_Char* text, int size) {
    NormalFormBuilder& b = of(data);
    b.parser_.guarded([&] {
      if (b.textSize_ == 0) b.textStart_ = b.form_.values.size();
      b.form_.values.append(text, static_cast<std::size_t>(size));
      b.textSize_ += static_cast<std::size_t>(size);
    });
  }

  XmlNameTable& names_;
  XmlNormalForm& form_;
  ExpatParser parser_;
  std::vector<Open> open_;
  std::size_t textStart_ = 0;
  std::size_t textSize_ = 0;
  std::uint32_t scope_ = 0;
  std::uint32_t pendingScope_ = 0;
  bool tooDeep_ = false;
};

}  // namespace

bool buildXmlNormalForm(std::string_view text, XmlNameTable& names,
                        XmlNormalForm& form, XmlNormalFormFault& fault) {
  try {
    NormalFormBuilder builder(names, form);
    return builder.build(text, fault);
  } catch (const std::bad_alloc&) {
    outOfMemory();
  }
}

}  // namespace platform
