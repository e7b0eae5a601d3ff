#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "platform/http/http_client.h"
#include "platform/http/kerberos_login.h"
#include "platform/os/output_file.h"

class TOVIDOM_Node;

// The run's credentials, as the command line gave them.
struct Credentials {
  std::string user;
  std::string password;
  std::string authNamespace;
};

// Delivery of the run's requests to the provider, switched on by
// MDPROVIDER_DELIVER. Owns the one connection of the run; the provider's
// HTTP status decides each request's result.
class ProviderDelivery {
 public:
  ProviderDelivery() = default;
  ProviderDelivery(const ProviderDelivery&) = delete;
  ProviderDelivery& operator=(const ProviderDelivery&) = delete;

  // Reads MDPROVIDER_DELIVER and, when it is set, MDPROVIDER_TIMEOUT,
  // MDPROVIDER_RESPONSES, MDPROVIDER_ECHO and MDPROVIDER_CA_FILE, and gets
  // the Kerberos ticket that Negotiate with a user name needs. Returns
  // false with one line in `problem` when a setting cannot be used or no
  // ticket can be had. Opens no connection to the provider.
  bool configure(const Credentials& credentials, std::string& problem);
  bool isOn() const { return http_.has_value(); }

  // Delivers one serialized request. True when the provider accepted it
  // (2xx); false, with a line on standard error, when it answered with
  // another status, and once a run another line when a challenge asks for
  // none of the scheme in use. Throws a TOVException when no answer came back.
  bool deliver(const char* type, const char* action, const char* text,
               std::size_t size, TOVIDOM_Node& request);

  // The address without credentials, for messages.
  const std::string& address() const { return address_; }
  long answered() const { return accepted_ + rejected_; }
  long accepted() const { return accepted_; }
  long rejected() const { return rejected_; }
  // The answer to the last request that got one.
  const platform::HttpAnswer& lastAnswer() const { return lastAnswer_; }

 private:
  bool signOnWithKerberos(const platform::HttpSettings& http,
                          std::string& problem);
  void tellOfferedSchemes();
  void keepAnswer(TOVIDOM_Node& request);

  std::unique_ptr<platform::KerberosLogin> kerberos_;
  std::optional<platform::HttpClient> http_;
  std::string schemeName_;  // empty when no credentials are sent
  bool toldOffered_ = false;
  std::string address_;
  platform::OutputFile responses_;
  bool echo_ = false;
  long accepted_ = 0;
  long rejected_ = 0;
  platform::HttpAnswer lastAnswer_;
};
