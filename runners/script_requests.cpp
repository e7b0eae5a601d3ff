// Tests MA and XS: one script sent whole as the payload of one request.

#include "client/md_provider_client.h"
#include "platform/xml/xml_document.h"

bool MDProviderClient::processScriptRequest(const I18NString& type,
                                            const I18NString& action,
                                            const I18NString& path) {
  TOVIDOM_Document script =
      TOVIDOM_DOMImplementation::getInstance()->createDocument();
  TOVIDOM_Parser parser(0);
  parser->parse(path.c_str(), script);
  return processRequest(type, action, script);
}
