#include "connection/endpoint_settings.h"

#include "platform/core/resources.h"
#include "platform/os/file_test.h"
#include "platform/xml/xml_document.h"

namespace {

constexpr long kDefaultHost = 250;
constexpr long kDefaultPort = 53;
constexpr long kSchemePrefix = 211;
constexpr long kPortSeparator = 15;
constexpr long kPathSuffix = 265;
constexpr unsigned short kRegularFileMode = 0x8000;

// The text of the first element of that name, at any depth, when it has
// content; otherwise `value` keeps what it held.
void readFirstValue(const TOVIDOM_Document& settings, const char* name,
                    I18NString& value) {
  const TOVIDOM_NodeList elements = settings->getElementsByTagName(name);
  if (elements->getLength() == 0) return;
  const TOVIDOM_Node content = elements->item(0)->getFirstChild();
  if (content != nullptr) value = content->getNodeValue();
}

}  // namespace

I18NString endpointAddress() {
  I18NString host = resources::getString(kDefaultHost);
  I18NString port = resources::getString(kDefaultPort);
  const I18NString settingsPath("../configuration/mdproviderconf.xml");
  if (KesVrnDir::exists(settingsPath, kRegularFileMode) != 0) {
    TOVIDOM_Document settings =
        TOVIDOM_DOMImplementation::getInstance()->createDocument();
    TOVIDOM_Parser parser(0);
    parser->parse(settingsPath.c_str(), settings);
    readFirstValue(settings, "host", host);
    readFirstValue(settings, "port", port);
  }
  I18NString address = resources::getString(kSchemePrefix);
  address.append(host.c_str());
  address.append(resources::getString(kPortSeparator));
  address.append(port.c_str());
  address.append(resources::getString(kPathSuffix));
  return address;
}
