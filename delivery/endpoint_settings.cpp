#include "delivery/endpoint_settings.h"

#include "delivery/provider_address.h"
#include "platform/core/resources.h"
#include "platform/os/file_test.h"
#include "platform/os/paths.h"
#include "platform/xml/xml_document.h"

namespace {

constexpr long kDefaultHost = 250;
constexpr long kDefaultPort = 53;
constexpr long kSchemePrefix = 211;
constexpr long kPortSeparator = 15;
constexpr long kPathSuffix = 265;
constexpr unsigned short kRegularFileMode = 0x8000;
constexpr char kSettingsPath[] = "../configuration/mdproviderconf.xml";

// The text of the first element of that name, at any depth, when it has
// content that is more than blanks; otherwise `value` keeps what it held.
// A tester's editor may put the value on a line of its own, or leave a
// blank after it: neither is part of a host or a port.
void readFirstValue(const TOVIDOM_Document& settings, const char* name,
                    I18NString& value) {
  const TOVIDOM_NodeList elements = settings->getElementsByTagName(name);
  if (elements->getLength() == 0) return;
  const TOVIDOM_Node content = elements->item(0)->getFirstChild();
  if (!(content != nullptr)) return;
  const std::string text = withoutBlanksAround(content->getNodeValue().str());
  if (!text.empty()) value = I18NString(text.c_str());
}

bool isRegularFile(const std::string& path) {
  return KesVrnDir::exists(I18NString(path.c_str()), kRegularFileMode) != 0;
}

}  // namespace

I18NString endpointAddress(const std::string& settingsPath) {
  I18NString host = resources::getString(kDefaultHost);
  I18NString port = resources::getString(kDefaultPort);
  if (!settingsPath.empty() && isRegularFile(settingsPath)) {
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

I18NString endpointAddress() { return endpointAddress(kSettingsPath); }

std::string endpointSettingsFile(std::vector<std::string>& lookedAt) {
  lookedAt.clear();
  lookedAt.push_back(platform::fullPath(kSettingsPath));
  if (isRegularFile(kSettingsPath)) return kSettingsPath;
  const std::string program = platform::programFile();
  const char* separator = platform::lastPathSeparator(program.c_str());
  if (separator == nullptr) return "";
  const std::string beside = platform::fullPath(
      std::string(program.c_str(), separator + 1) + kSettingsPath);
  // Started by path, the program works in its own folder: the same file.
  if (beside == lookedAt.front()) return "";
  lookedAt.push_back(beside);
  return isRegularFile(beside) ? beside : "";
}
