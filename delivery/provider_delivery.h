#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "delivery/delivery_settings.h"
#include "platform/http/auth/kerberos_login.h"
#include "platform/http/http_client.h"
#include "secrets/secret_file.h"

class SecretMask;
class TOVIDOM_Node;

// The run's credentials, as the command line gave them. The password is
// wiped when the value goes.
struct Credentials {
  std::string user;
  std::string password;
  std::string authNamespace;
  ~Credentials();
};

// What one request came to at the provider, as the client, the judge and
// the record read it. A request that got no answer is no outcome: it
// throws.
struct DeliveryOutcome {
  bool accepted = false;  // a 2xx status
  // The status, media type and body, the secrets hidden in the body.
  platform::HttpAnswer answer;
  // Where the body holds "***" for a secret it held.
  std::vector<std::size_t> hiddenAt;
  // From the send to the whole answer.
  long milliseconds = -1;
  // Why a rejection came, when more than its status tells it.
  const char* rejection = "";
};

// Delivery of the run's requests to the provider, switched on by
// MDPROVIDER_DELIVER. Owns the one connection of the run; the provider's
// HTTP status decides each request's result.
class ProviderDelivery {
 public:
  ProviderDelivery() = default;
  ProviderDelivery(const ProviderDelivery&) = delete;
  ProviderDelivery& operator=(const ProviderDelivery&) = delete;

  // Reads MDPROVIDER_DELIVER and, when it is set, the other delivery
  // settings, and gets the Kerberos ticket that Negotiate with a user name
  // needs. A password the address carries joins `secrets`, which hide what
  // the answers hold in what the run writes. Returns false with one line in
  // `problem` when a setting cannot be used or no ticket can be had. Opens
  // no connection to the provider.
  bool configure(const Credentials& credentials,
                 const DeliveryVariables& variables, SecretMask& secrets,
                 std::string& problem);
  bool isOn() const { return http_.has_value(); }
  // Whether each exchange is shown, its request as a document.
  bool echoes() const { return echo_; }
  // The connection and the credentials go: at the end of the run.
  void end();

  // Delivers one serialized request; the outcome stays until the next one.
  // A status other than 2xx writes a line on standard error (with the
  // reason the answer gives), and once a run another line when a challenge
  // asks for none of the scheme in use, or a 401 asks a run without a user
  // name for credentials. Throws a TOVException when no answer came back or
  // it was larger than the run holds.
  const DeliveryOutcome& deliver(const char* type, const char* action,
                                 const char* text, std::size_t size,
                                 TOVIDOM_Node& request);

  // The address without credentials, for messages.
  const std::string& address() const { return address_; }
  long answered() const { return accepted_ + rejected_; }
  long accepted() const { return accepted_; }
  long rejected() const { return rejected_; }

 private:
  void tellOfferedSchemes();
  void tellWhileWaiting();
  void keepAnswer(TOVIDOM_Node& request);

  const SecretMask* secrets_ = nullptr;
  std::unique_ptr<platform::KerberosLogin> kerberos_;
  std::optional<platform::HttpClient> http_;
  std::string schemeName_;  // empty when no credentials are sent
  bool toldOffered_ = false;
  std::string address_;
  long answerLimitMiB_ = 0;
  SecretFile responses_;
  bool echo_ = false;
  long accepted_ = 0;
  long rejected_ = 0;
  DeliveryOutcome outcome_;
  // When the request in flight went, and whether what the run said before
  // it has gone out since.
  std::chrono::steady_clock::time_point sentAt_;
  bool toldWhileWaiting_ = false;
  static constexpr std::chrono::milliseconds kQuietWhileWaiting{100};
};
