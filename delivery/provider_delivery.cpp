#include "delivery/provider_delivery.h"

#include <chrono>
#include <iostream>
#include <memory>

#include "delivery/delivery_settings.h"
#include "delivery/exchange_echo.h"
#include "delivery/rejection_reason.h"
#include "platform/core/tov_exception.h"
#include "platform/core/wipe.h"
#include "platform/http/auth/auth_challenges.h"
#include "platform/http/auth/basic_login.h"
#include "secrets/secret_mask.h"

Credentials::~Credentials() { platform::wipe(password); }

bool ProviderDelivery::configure(const Credentials& credentials,
                                 const DeliveryVariables& variables,
                                 SecretMask& secrets, std::string& problem) {
  secrets_ = &secrets;
  DeliverySettings settings;
  if (!readDeliverySettings(credentials, variables, settings, problem)) {
    return false;
  }
  if (!settings.on) return true;
  address_ = settings.address.shown;
  secrets.add(settings.address.password);
  secrets.add(settings.address.passwordAsWritten);
  // What a Basic login sends holds the password: a provider that echoes its
  // request's headers would show it.
  if (settings.http.auth == platform::HttpAuthScheme::kBasic) {
    secrets.add(
        platform::basicCredentials(settings.http.user, settings.http.password));
  }
  if (!settings.address.password.empty()) {
    secrets.add(platform::basicCredentials(settings.address.user,
                                           settings.address.password));
  }
  answerLimitMiB_ = settings.answerLimitMiB;
  if (!settings.responsesPath.empty()) {
    std::string reason;
    if (!responses_.open(settings.responsesPath, secrets, reason)) {
      problem = "Cannot open the responses file \"" + settings.responsesPath +
                "\": " + reason;
      return false;
    }
  }
  echo_ = settings.echo;
  schemeName_ = settings.schemeName;
  if (!platform::readyKerberosTicket(settings.http.auth, settings.http.user,
                                     settings.http.password, kerberos_,
                                     problem)) {
    return false;
  }
  settings.http.whileWaiting = [this] { tellWhileWaiting(); };
  try {
    http_.emplace(settings.http);
  } catch (TOVException* failure) {
    const std::unique_ptr<TOVException> owned(failure);
    problem =
        "Cannot deliver to " + address_ + ": " + failure->getErrorCodeString();
    return false;
  }
  if (!settings.announcement.empty()) {
    std::cerr << settings.announcement << std::endl;
  }
  return true;
}

void ProviderDelivery::end() {
  http_.reset();
  kerberos_.reset();
}

const DeliveryOutcome& ProviderDelivery::deliver(const char* type,
                                                 const char* action,
                                                 const char* text,
                                                 std::size_t size,
                                                 TOVIDOM_Node& request) {
  DeliveryOutcome& outcome = outcome_;
  platform::HttpAnswer& answer = outcome.answer;
  const auto started = std::chrono::steady_clock::now();
  sentAt_ = started;
  toldWhileWaiting_ = false;
  try {
    answer = http_->post(text, size);
    outcome.milliseconds =
        static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - started)
                              .count());
  } catch (TOVException* failure) {
    const std::unique_ptr<TOVException> owned(failure);
    throw new TOVException("Failed to deliver the request to " + address_ +
                           ": " + failure->getErrorCodeString());
  }
  if (answer.kind == platform::HttpAnswer::Kind::kTooLarge) {
    throw new TOVException("Failed to deliver the request to " + address_ +
                           ": the answer is larger than " +
                           std::to_string(answerLimitMiB_) +
                           " MiB, the most MDPROVIDER_ANSWER_LIMIT lets the "
                           "run hold");
  }
  // An answer may echo a secret: nothing the run writes shows it.
  outcome.hiddenAt.clear();
  if (secrets_->appearsIn(answer.body)) {
    answer.body = secrets_->hidden(answer.body, &outcome.hiddenAt);
  }
  const bool keptAsking =
      answer.kind == platform::HttpAnswer::Kind::kKeptAsking;
  outcome.rejection =
      keptAsking ? "the provider kept asking for credentials" : "";
  // Counted before the answers file is written: an answer that cannot be
  // kept still reached the provider, and the summary says so.
  const long status = answer.status;
  outcome.accepted = status >= 200 && status <= 299;
  ++(outcome.accepted ? accepted_ : rejected_);
  keepAnswer(request);
  if (outcome.accepted) return outcome;
  const std::string reason = rejectionReason(answer.body, *secrets_);
  std::cerr << "Rejected by the provider: " << type << ' ' << action
            << " (HTTP " << status << ")" << (reason.empty() ? "" : ": ")
            << reason << std::endl;
  if (keptAsking) {
    std::cerr << "The provider kept asking for credentials: the request is "
                 "not sent again"
              << std::endl;
  }
  tellOfferedSchemes();
  return outcome;
}

void ProviderDelivery::tellWhileWaiting() {
  // What the run said goes out once the provider keeps it waiting: a flush
  // before every request would cost a write each.
  if (toldWhileWaiting_ ||
      std::chrono::steady_clock::now() - sentAt_ < kQuietWhileWaiting) {
    return;
  }
  toldWhileWaiting_ = true;
  std::cout.flush();
}

void ProviderDelivery::tellOfferedSchemes() {
  const auto& offered = outcome_.answer.offeredSchemes;
  if (toldOffered_) return;
  // A run without -u sends no credentials: the provider wants some.
  if (schemeName_.empty() && outcome_.answer.status == 401) {
    toldOffered_ = true;
    std::cerr << "The provider asks for credentials";
    for (std::size_t i = 0; i < offered.size(); ++i) {
      std::cerr << (i == 0 ? " (" : ", ") << offered[i];
    }
    std::cerr << (offered.empty() ? "" : ")") << "; -u and -p give them"
              << std::endl;
    return;
  }
  if (schemeName_.empty() || offered.empty()) return;
  if (platform::offersScheme(offered, schemeName_)) return;
  toldOffered_ = true;
  std::cerr << "The provider asks for ";
  for (std::size_t i = 0; i < offered.size(); ++i) {
    std::cerr << (i == 0 ? "" : ", ") << offered[i];
  }
  std::cerr << "; -x names " << schemeName_ << std::endl;
}

void ProviderDelivery::keepAnswer(TOVIDOM_Node& request) {
  if (responses_.isOpen()) {
    // The body, then its NUL, with the system before the next request; two
    // writes, so that a large answer is not copied to join them.
    const std::string& body = outcome_.answer.body;
    responses_.append(body.data(), body.size());
    responses_.append("", 1);
  }
  if (echo_) {
    showExchange(request, outcome_.answer.body, *secrets_);
  }
}
