#include "delivery/delivery_settings.h"

#include <memory>
#include <vector>

#include "delivery/endpoint_settings.h"
#include "delivery/provider_address.h"
#include "delivery/provider_delivery.h"
#include "platform/core/tov_exception.h"
#include "platform/os/file_reader.h"
#include "platform/os/paths.h"

namespace {

constexpr long kDefaultTimeoutSeconds = 60;
constexpr long kDefaultAnswerLimitMiB = 256;

constexpr long kMostTimeoutSeconds = 2147483;  // libcurl's most, in ms
constexpr long kMostAnswerLimitMiB = 999999999;

// A positive whole number, digits only: 0 when it is not one, -1 when it is
// more than `most`.
long wholeNumber(const std::string& text, long most) {
  if (text.empty()) return 0;
  long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return 0;
    if (value <= most) value = value * 10 + (c - '0');
  }
  if (value > most) return -1;
  return value;
}

// The message for a number setting that is not one, or too large.
std::string notANumber(const char* name, const std::string& value, long read,
                       long most, const char* unit) {
  std::string problem = std::string(name) + "=\"" + value + "\" is ";
  if (read < 0) {
    return problem + "more than " + std::to_string(most) + " " + unit +
           ", the most it may be";
  }
  return problem + "not a positive whole number of " + unit;
}

// The settings file's address, for MDPROVIDER_DELIVER=1, and how the run
// names where it came from.
bool settingsFileAddress(std::string& address, std::string& file,
                         std::string& source, std::string& problem) {
  std::vector<std::string> lookedAt;
  file = endpointSettingsFile(lookedAt);
  // Named whole, in what the parser says of it too.
  if (!file.empty()) file = platform::fullPath(file);
  try {
    address = endpointAddress(file).str();
  } catch (TOVException* failure) {
    const std::unique_ptr<TOVException> owned(failure);
    problem = failure->getErrorCodeString();
    return false;
  }
  if (!file.empty()) {
    source = "from \"" + file + "\"";
    return true;
  }
  source = "the default: no \"" + lookedAt.front() + "\"";
  if (lookedAt.size() > 1) source += " or \"" + lookedAt.back() + "\"";
  source += " was found";
  return true;
}

}  // namespace

bool readDeliverySettings(const Credentials& credentials,
                          const DeliveryVariables& variables,
                          DeliverySettings& settings, std::string& problem) {
  // cmd keeps a blank typed before the end of a `set` line.
  const std::string deliver = withoutBlanksAround(variables.deliver);
  settings.on = !deliver.empty();
  if (!settings.on) return true;
  std::string file;
  std::string source;
  if (deliver == "1") {
    if (!settingsFileAddress(settings.http.url, file, source, problem)) {
      return false;
    }
  } else if (isHttpAddress(deliver)) {
    settings.http.url = deliver;
  } else {
    problem = "MDPROVIDER_DELIVER=\"" + addressWithoutCredentials(deliver) +
              "\" is neither 1 nor an http:// or https:// address";
    return false;
  }
  std::string reason;
  if (!platform::readHttpAddress(settings.http.url, settings.address, reason)) {
    // The file is named: that is where the tester mends it.
    if (!file.empty()) {
      problem = "\"" + file + "\" gives an address that cannot be read (" +
                reason + "): " + addressWithoutCredentials(settings.http.url);
      return false;
    }
    // Not shown: what cannot be read may hold a password.
    problem = "MDPROVIDER_DELIVER holds an address that cannot be read (" +
              reason +
              "): a user name or password in it writes the characters / ? # "
              "@ : % as %XX";
    return false;
  }
  if (!source.empty()) {
    settings.announcement =
        "Delivering to " + settings.address.shown + " (" + source + ")";
  }

  const std::string& timeout = variables.timeout;
  settings.http.timeoutSeconds =
      timeout.empty() ? kDefaultTimeoutSeconds
                      : wholeNumber(timeout, kMostTimeoutSeconds);
  if (settings.http.timeoutSeconds <= 0) {
    problem =
        notANumber("MDPROVIDER_TIMEOUT", timeout, settings.http.timeoutSeconds,
                   kMostTimeoutSeconds, "seconds");
    return false;
  }

  const std::string& limit = variables.answerLimit;
  settings.answerLimitMiB = limit.empty()
                                ? kDefaultAnswerLimitMiB
                                : wholeNumber(limit, kMostAnswerLimitMiB);
  if (settings.answerLimitMiB <= 0) {
    problem = notANumber("MDPROVIDER_ANSWER_LIMIT", limit,
                         settings.answerLimitMiB, kMostAnswerLimitMiB, "MiB");
    return false;
  }
  settings.http.answerLimit = static_cast<std::size_t>(settings.answerLimitMiB)
                              << 20;

  // Without a user name no authentication is sent.
  if (!credentials.user.empty()) {
    if (!platform::authSchemeNamed(credentials.authNamespace,
                                   settings.http.auth)) {
      problem = "The authentication namespace \"" + credentials.authNamespace +
                "\" is none of NTLM, Negotiate, Digest, Basic";
      return false;
    }
    settings.schemeName = platform::authSchemeName(settings.http.auth);
    settings.http.user = credentials.user;
    settings.http.password = credentials.password;
  }
  settings.responsesPath = variables.responses;
  settings.echo = variables.echo == "1";
  // Certificates are always verified: this only chooses whom to trust.
  settings.http.caFile = variables.caFile;
  if (!settings.http.caFile.empty()) {
    if (!platform::isReadableFile(settings.http.caFile, reason)) {
      problem = "Cannot read the CA file MDPROVIDER_CA_FILE=\"" +
                settings.http.caFile + "\": " + reason;
      return false;
    }
  }
  return true;
}
