#include "connection/provider_delivery.h"

#include <iostream>
#include <memory>

#include "connection/delivery_settings.h"
#include "connection/exchange_echo.h"
#include "connection/provider_address.h"
#include "platform/tov_exception.h"

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
  return false;
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
