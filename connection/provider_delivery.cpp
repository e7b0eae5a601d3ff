#include "connection/provider_delivery.h"

#include <cctype>
#include <iostream>
#include <memory>

#include "connection/delivery_settings.h"
#include "connection/exchange_echo.h"
#include "connection/provider_address.h"
#include "platform/core/tov_exception.h"

bool ProviderDelivery::configure(const Credentials& credentials,
                                 std::string& problem) {
  DeliverySettings settings;
  if (!readDeliverySettings(credentials, settings, problem)) return false;
  if (!settings.on) return true;
  address_ = addressWithoutCredentials(settings.http.url);
  if (!settings.responsesPath.empty()) {
    std::string reason;
    if (!responses_.open(settings.responsesPath, reason)) {
      problem = "Cannot open the responses file \"" + settings.responsesPath +
                "\": " + reason;
      return false;
    }
  }
  echo_ = settings.echo;
  schemeName_ = settings.schemeName;
  if (!signOnWithKerberos(settings.http, problem)) return false;
  try {
    http_.emplace(settings.http);
  } catch (TOVException* failure) {
    const std::unique_ptr<TOVException> owned(failure);
    problem =
        "Cannot deliver to " + address_ + ": " + failure->getErrorCodeString();
    return false;
  }
  return true;
}

bool ProviderDelivery::signOnWithKerberos(const platform::HttpSettings& http,
                                          std::string& problem) {
  if (http.auth != platform::HttpAuthScheme::kNegotiate) return true;
  // Without a password the session's own ticket serves.
  if (http.password.empty()) {
    return platform::sessionHoldsTicket(http.user, problem);
  }
  kerberos_ = std::make_unique<platform::KerberosLogin>();
  return kerberos_->obtain(http.user, http.password, problem);
}

bool ProviderDelivery::deliver(const char* type, const char* action,
                               const char* text, std::size_t size,
                               TOVIDOM_Node& request) {
  try {
    lastAnswer_ = http_->post(text, size);
  } catch (TOVException* failure) {
    const std::unique_ptr<TOVException> owned(failure);
    throw new TOVException("Failed to deliver the request to " + address_ +
                           ": " + failure->getErrorCodeString());
  }
  keepAnswer(request);
  const long status = lastAnswer_.status;
  if (status >= 200 && status <= 299) {
    ++accepted_;
    return true;
  }
  ++rejected_;
  std::cerr << "Rejected by the provider: " << type << ' ' << action
            << " (HTTP " << status << ")" << std::endl;
  tellOfferedSchemes();
  return false;
}

void ProviderDelivery::tellOfferedSchemes() {
  const std::string& offered = lastAnswer_.offeredSchemes;
  if (toldOffered_ || schemeName_.empty() || offered.empty()) return;
  // Scheme names are compared without regard to case.
  std::string lower = offered;
  std::string ours = schemeName_;
  for (std::string* text : {&lower, &ours}) {
    for (char& c : *text) {
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  for (std::size_t at = 0; at < lower.size();) {
    std::size_t end = lower.find(", ", at);
    if (end == std::string::npos) end = lower.size();
    if (lower.compare(at, end - at, ours) == 0) return;
    at = end + 2;
  }
  toldOffered_ = true;
  std::cerr << "The provider asks for " << offered << "; -x names "
            << schemeName_ << std::endl;
}

void ProviderDelivery::keepAnswer(TOVIDOM_Node& request) {
  if (responses_.isOpen()) {
    // The body and its NUL in one write, with the system before the next
    // request.
    std::string record = lastAnswer_.body;
    record.push_back('\0');
    responses_.append(record.data(), record.size());
  }
  if (echo_) showExchange(request, lastAnswer_.body);
}
