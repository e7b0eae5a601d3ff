#include "platform/xml/xml_element_stream.h"

#include <string>

#include "platform/core/tov_exception.h"
#include "platform/os/file_reader.h"
#include "platform/xml/xml_document.h"
#include "platform/xml/xml_document_data.h"
#include "platform/xml/xml_file_feed.h"

namespace platform {

struct XmlElementStream::State {
  std::string path;
  std::string name;
  std::string key;
  bool keysRise = true;
  RegularFileStream file;
  BlockPrints prints;                   // what the first reading saw
  std::unique_ptr<XmlFileFeed> second;  // the reading that hands elements out
  unsigned long long counted = 0;

  State(const char* filePath, const char* elementName, const char* keyName)
      : path(filePath), name(elementName), key(keyName), file(path.c_str()) {}

  std::unique_ptr<XmlFileFeed> feed(bool capture) {
    return std::make_unique<XmlFileFeed>(
        file,
        [this, capture](bool utf8) {
          auto builder = std::make_unique<XmlTreeBuilder>(name, capture, utf8);
          if (!capture) builder->watchKey(key);
          return builder;
        },
        &prints);
  }

  [[noreturn]] void refuse(const XmlFileFeed& feed) const {
    if (feed.fault() == XmlFileFeed::Fault::kOutOfMemory) {
      throw new TOVException("Out of memory while \"" + path + "\" was read");
    }
    throw new TOVException("Failed to parse \"" + path + "\"" + feed.failure());
  }
};

XmlElementStream::XmlElementStream(const char* path, const char* name,
                                   const char* key)
    : state_(std::make_unique<State>(path, name, key)) {}

XmlElementStream::~XmlElementStream() = default;

unsigned long XmlElementStream::count() {
  const std::unique_ptr<XmlFileFeed> first = state_->feed(false);
  if (!first->run()) state_->refuse(*first);
  state_->counted = first->builder().found();
  state_->keysRise = first->builder().keysRise();
  return static_cast<unsigned long>(state_->counted);
}

bool XmlElementStream::keysRise() const { return state_->keysRise; }

unsigned long long XmlElementStream::size() const {
  return static_cast<unsigned long long>(state_->file.size());
}

XmlElementStream::Next XmlElementStream::next(TOVIDOM_Document& document) {
  State& s = *state_;
  XmlDocumentData* data = XmlAccess::data(document);
  if (data == nullptr || data->document.first_child()) {
    throw new TOVException("next needs an empty document");
  }
  if (!s.second) {
    s.file.rewind();
    s.prints.startChecking();
    s.second = s.feed(true);
  }
  XmlFileFeed& feed = *s.second;
  if (!feed.finished()) {
    feed.builder().target(*data);
    if (!feed.run()) {
      data->document.reset();
      // The same bytes read the same way fail the same way: only a change
      // or a shortage of memory can fail this reading.
      if (feed.fault() == XmlFileFeed::Fault::kChanged) return Next::kChanged;
      s.refuse(feed);
    }
    if (!feed.finished()) return Next::kElement;
  }
  return feed.builder().found() == s.counted ? Next::kEnd : Next::kChanged;
}

}  // namespace platform
