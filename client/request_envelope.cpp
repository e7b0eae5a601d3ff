// The one form of every request: an `mdprovider` element naming the type,
// the action and the model, around a copy of the payload.

#include <iostream>
#include <ostream>
#include <utility>

#include "client/md_provider_client.h"
#include "client/request_buffer.h"
#include "platform/core/tov_exception.h"
#include "platform/os/interruption.h"
#include "platform/xml/xml_canonical_form.h"
#include "platform/xml/xml_document.h"
#include "platform/xml/xml_text_check.h"

namespace {

// A request is well-formed UTF-8 XML or is not sent: values from the
// command line may hold bytes that XML cannot carry.
void requireXmlValue(const I18NString& value, const char* what) {
  const std::string fault = platform::xmlValueFault(value.str());
  if (!fault.empty()) {
    throw new TOVException(std::string(what) + " " + fault);
  }
}

}  // namespace

bool MDProviderClient::processRequest(const I18NString& type,
                                      const I18NString& action,
                                      TOVIDOM_Document& payload) {
  // No request after an interruption.
  platform::throwIfInterrupted();
  AnswerKey name = beginRequest(type, action);
  const TOVIDOM_Node content =
      payload != nullptr ? payload->getFirstChild() : TOVIDOM_Node();
  return sendRequest(std::move(name), buildRequest(type, action, content));
}

AnswerKey MDProviderClient::beginRequest(const I18NString& type,
                                         const I18NString& action) {
  AnswerKey name = std::exchange(nextRequest, AnswerKey());
  name.type = type.str();
  name.action = action.str();
  runRecord.begin(type.str(), action.str());
  return name;
}

BuiltRequest MDProviderClient::buildRequest(const I18NString& type,
                                            const I18NString& action,
                                            const TOVIDOM_Node& content) const {
  requireXmlValue(projectName, "The project name");
  requireXmlValue(type, "The request type");
  requireXmlValue(action, "The request action");
  TOVIDOM_Document envelope =
      TOVIDOM_DOMImplementation::getInstance()->createDocument();
  TOVIDOM_Element root = envelope->createElement("mdprovider");
  root->setAttribute("type", type);
  root->setAttribute("action", action);
  root->setAttribute("model", I18NString(projectName.c_str()));
  if (content != nullptr) root->appendChild(envelope->importNode(content, 1));
  envelope->appendChild(root);

  RequestBuffer buffer;
  std::ostream out(&buffer);
  TOVIDOM_Helper::write(envelope, out, nullptr);
  out.put('\0');
  // A request cut short is a failure, never a request counted as sent.
  if (!out) throw new TOVException("The request could not be serialized whole");
  BuiltRequest built;
  built.text = buffer.take();
  // Taken from the document as built, only when a baseline wants it.
  if (judge.isOn()) built.canonical = platform::canonicalPayload(envelope);
  if (delivery.echoes()) built.envelope = envelope;
  return built;
}

bool MDProviderClient::sendRequest(AnswerKey name, BuiltRequest built) {
  const std::string& text = built.text;
  if (requestTrace.isOpen()) requestTrace.append(text.data(), text.size());
  if (!delivery.isOn()) {
    lastAnswered = std::move(name);
    answeredAny = true;
    runRecord.pass();
    return true;
  }
  // What the run said goes out before a request of its own (the project's,
  // a script's): there are few, and a run that ends after one must not
  // leave its last lines to the end. A replay's transactions leave theirs
  // to the pace of the console and to a wait for the provider.
  if (!name.isTransaction) std::cout.flush();
  const DeliveryOutcome& outcome =
      delivery.deliver(name.type.c_str(), name.action.c_str(), text.data(),
                       text.size() - 1, built.envelope);
  const bool accepted = outcome.accepted;
  const platform::HttpAnswer& answer = outcome.answer;
  Answered answered;
  answered.key = name;
  answered.request = {text.data(), text.size() - 1};
  answered.payload = built.canonical;
  answered.status = answer.status;
  answered.mediaType = answer.mediaType;
  answered.milliseconds = outcome.milliseconds;
  answered.body = answer.body;
  answered.hiddenAt = &outcome.hiddenAt;
  Judgement judgement = judge.judge(answered);
  runRecord.answered(answer.status, accepted);
  if (judgement.baselineMilliseconds >= 0) {
    page.recordedTime(static_cast<double>(judgement.baselineMilliseconds));
  }
  lastAnswered = std::move(name);
  answeredAny = true;
  if (judgement.removed) {
    tellDifference(*judgement.removed);
    runRecord.addFailure(judgement.removed->testcase,
                         judgement.removed->message,
                         judgement.removed->details);
  }
  if (judgement.request) tellDifference(*judgement.request);
  // A difference is no rejection: the run goes on, and the first difference
  // of an accepted answer says more than its status; a rejection keeps its
  // status and its answer, the differences beside them.
  if (!accepted) {
    runRecord.fail(answer.status, answer.body, outcome.rejection,
                   judgement.request ? judgement.request->details : "");
  } else if (judgement.request) {
    runRecord.fail(judgement.request->message, judgement.request->details);
  } else {
    runRecord.pass();
  }
  return accepted;
}

void MDProviderClient::tellDifference(const Verdict& verdict) {
  // Past the first few, the report and the digest at the end tell them.
  if (++differencesTold <= kDifferencesShown) {
    // It shows the answers' text as it is meant, references resolved.
    std::cerr << secrets.hidden(verdict.line) << std::endl;
  }
  showDifference(verdict);
}

bool MDProviderClient::processNodeRequest(const I18NString& type,
                                          const I18NString& action,
                                          TOVIDOM_Node& node) {
  platform::throwIfInterrupted();
  AnswerKey name = beginRequest(type, action);
  return sendRequest(std::move(name), buildRequest(type, action, node));
}
