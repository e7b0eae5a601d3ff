#include "stand_in_provider/xml_text.h"

namespace {

// Straight into a string: a stream would cost more than the answer.
class StringWriter : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string& text) : text_(text) {}
  void write(const void* data, size_t size) override {
    text_.append(static_cast<const char*>(data), size);
  }

 private:
  std::string& text_;
};

}  // namespace

std::string xmlText(pugi::xml_node node) {
  std::string text;
  StringWriter writer(text);
  node.print(writer, "", pugi::format_raw);
  return text;
}
