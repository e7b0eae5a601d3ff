// Requests about the project as a whole: no payload, an action of their own.

#include "client/md_provider_client.h"
#include "platform/core/resources.h"
#include "platform/xml/xml_document.h"

namespace {

constexpr long kProjectRequestType = 203;
constexpr long kOpenAction = 289;
constexpr long kCreateAction = 149;
constexpr long kCloseAction = 131;
constexpr long kEndReplayAction = 344;

}  // namespace

bool MDProviderClient::projectRequest(long actionId) {
  const I18NString type = resources::getString(kProjectRequestType);
  const I18NString action = resources::getString(actionId);
  TOVIDOM_Document payload =
      TOVIDOM_DOMImplementation::getInstance()->createDocument();
  return processRequest(type, action, payload);
}

bool MDProviderClient::openModel() { return projectRequest(kOpenAction); }
bool MDProviderClient::createModel() { return projectRequest(kCreateAction); }
bool MDProviderClient::closeModel() { return projectRequest(kCloseAction); }
bool MDProviderClient::finishReplay() {
  return projectRequest(kEndReplayAction);
}
