#pragma once

#include <string>

#include "platform/http/http_address.h"
#include "platform/http/http_client.h"

struct Credentials;

// The variables of delivery, as the run's settings read them.
struct DeliveryVariables {
  std::string deliver;      // MDPROVIDER_DELIVER
  std::string timeout;      // MDPROVIDER_TIMEOUT
  std::string answerLimit;  // MDPROVIDER_ANSWER_LIMIT
  std::string responses;    // MDPROVIDER_RESPONSES
  std::string echo;         // MDPROVIDER_ECHO
  std::string caFile;       // MDPROVIDER_CA_FILE
};

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

// The delivery settings the variables give: MDPROVIDER_DELIVER (unset or
// empty: off; "1": the address that the settings file gives, or the
// default; or an http:// or https:// address; blanks around it are no part
// of it), and while delivering MDPROVIDER_TIMEOUT,
// MDPROVIDER_RESPONSES, MDPROVIDER_ECHO, MDPROVIDER_CA_FILE and
// MDPROVIDER_ANSWER_LIMIT, with the run's credentials.
// Returns false with one line in `problem` when a value cannot be used.
bool readDeliverySettings(const Credentials& credentials,
                          const DeliveryVariables& variables,
                          DeliverySettings& settings, std::string& problem);
