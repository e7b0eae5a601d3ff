#pragma once

#include <string>

#include "platform/http/http_address.h"
#include "platform/http/http_client.h"

struct Credentials;

struct DeliverySettings {
  bool on = false;
  platform::HttpSettings http;
  platform::HttpAddress address;  // as it may be shown, and its password
  std::string schemeName;         // as -x names it, spelled as the scheme is
  std::string responsesPath;      // empty: no responses file
  bool echo = false;
  long answerLimitMiB = 0;  // the largest answer held
  // With MDPROVIDER_DELIVER=1: where the run delivers, and from which
  // settings file, to be said once.
  std::string announcement;
};

// The delivery settings of the environment: MDPROVIDER_DELIVER (unset or
// empty: off; "1": the address that the settings file gives, or the
// default; or an http:// or https:// address; blanks around it are no part
// of it), and while delivering MDPROVIDER_TIMEOUT,
// MDPROVIDER_RESPONSES, MDPROVIDER_ECHO, MDPROVIDER_CA_FILE and
// MDPROVIDER_ANSWER_LIMIT, with the run's credentials.
// Returns false with one line in `problem` when a value cannot be used.
bool readDeliverySettings(const Credentials& credentials,
                          DeliverySettings& settings, std::string& problem);
