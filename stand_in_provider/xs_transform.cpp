#include "stand_in_provider/xs_transform.h"

#include <libxml/parser.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltutils.h>

#include <cstdarg>
#include <cstdio>
#include <memory>

namespace {

struct FreeDocument {
  void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
struct FreeStylesheet {
  void operator()(xsltStylesheet* style) const { xsltFreeStylesheet(style); }
};
struct FreeContext {
  void operator()(xsltTransformContext* context) const {
    xsltFreeTransformContext(context);
  }
};
struct FreePreferences {
  void operator()(xsltSecurityPrefs* preferences) const {
    xsltFreeSecurityPrefs(preferences);
  }
};
struct FreeText {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
using Document = std::unique_ptr<xmlDoc, FreeDocument>;

// Takes libxml2's and libxslt's messages while it lives; they are the
// reasons a refusal gives.
class Messages {
 public:
  Messages() {
    xmlSetGenericErrorFunc(this, &Messages::add);
    xsltSetGenericErrorFunc(this, &Messages::add);
  }
  ~Messages() {
    xmlSetGenericErrorFunc(nullptr, nullptr);
    xsltSetGenericErrorFunc(nullptr, nullptr);
  }
  Messages(const Messages&) = delete;
  Messages& operator=(const Messages&) = delete;

  std::string reason(const char* otherwise) const {
    std::string text = text_;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
      text.pop_back();
    }
    return text.empty() ? otherwise : text;
  }

 private:
  static void add(void* self, const char* format, ...) {
    char piece[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(piece, sizeof piece, format, arguments);
    va_end(arguments);
    static_cast<Messages*>(self)->text_ += piece;
  }
  std::string text_;
};

Document parse(const std::string& text, const char* name) {
  return Document(xmlReadMemory(text.data(), static_cast<int>(text.size()),
                                name, nullptr, XML_PARSE_NONET));
}

// Nothing outside the two documents: no file, no network. Made once and
// kept: they are also the defaults that xsl:import and xsl:include, read
// while the stylesheet is parsed, are checked against.
xsltSecurityPrefs* closedPreferences() {
  static const std::unique_ptr<xsltSecurityPrefs, FreePreferences> preferences =
      [] {
        std::unique_ptr<xsltSecurityPrefs, FreePreferences> made(
            xsltNewSecurityPrefs());
        for (xsltSecurityOption option :
             {XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE,
              XSLT_SECPREF_CREATE_DIRECTORY, XSLT_SECPREF_READ_NETWORK,
              XSLT_SECPREF_WRITE_NETWORK}) {
          xsltSetSecurityPrefs(made.get(), option, xsltSecurityForbid);
        }
        xsltSetDefaultSecurityPrefs(made.get());
        return made;
      }();
  return preferences.get();
}

}  // namespace

TransformResult transform(const std::string& stylesheet,
                          const std::string& input) {
  xmlInitParser();
  xsltSecurityPrefs* const preferences = closedPreferences();
  Messages messages;
  Document styleDocument = parse(stylesheet, "stylesheet.xml");
  if (!styleDocument) return {false, messages.reason("not XML")};
  // The stylesheet owns its document once it has been made of it.
  const std::unique_ptr<xsltStylesheet, FreeStylesheet> style(
      xsltParseStylesheetDoc(styleDocument.get()));
  if (!style) return {false, messages.reason("not a stylesheet")};
  styleDocument.release();

  const Document source = parse(input, "model.xml");
  if (!source) return {false, messages.reason("the model is not XML")};
  const std::unique_ptr<xsltTransformContext, FreeContext> context(
      xsltNewTransformContext(style.get(), source.get()));
  if (!context) return {false, messages.reason("out of memory")};
  xsltSetCtxtSecurityPrefs(preferences, context.get());
  const Document result(xsltApplyStylesheetUser(
      style.get(), source.get(), nullptr, nullptr, nullptr, context.get()));
  if (!result || context->state != XSLT_STATE_OK) {
    return {false, messages.reason("the stylesheet could not be applied")};
  }
  xmlChar* written = nullptr;
  int size = 0;
  if (xsltSaveResultToString(&written, &size, result.get(), style.get()) != 0) {
    return {false, messages.reason("the result could not be written")};
  }
  const std::unique_ptr<xmlChar, FreeText> owned(written);
  if (written == nullptr) return {true, ""};
  return {true, std::string(reinterpret_cast<const char*>(written),
                            static_cast<std::size_t>(size))};
}
