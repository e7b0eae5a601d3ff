#include "stand_in_provider/provider_rules.h"

#include <pugixml.hpp>

#include "stand_in_provider/answer.h"
#include "stand_in_provider/ma_query.h"
#include "stand_in_provider/model_xml.h"
#include "stand_in_provider/transaction.h"
#include "stand_in_provider/xml_text.h"
#include "stand_in_provider/xs_transform.h"

namespace {

// The stylesheet's output inside the answer: as XML where it is, otherwise
// as text.
void appendOutput(pugi::xml_node answer, const std::string& output) {
  pugi::xml_document parsed;
  if (parsed.load_buffer(output.data(), output.size(),
                         pugi::parse_default | pugi::parse_fragment)) {
    for (pugi::xml_node node : parsed.children()) answer.append_copy(node);
  } else {
    answer.append_child(pugi::node_pcdata).set_value(output.c_str());
  }
}

ProviderAnswer transformed(const std::string& name, const ProjectModel& model,
                           pugi::xml_node envelope) {
  const pugi::xml_node stylesheet = envelope.find_child(
      [](pugi::xml_node node) { return node.type() == pugi::node_element; });
  if (!stylesheet) return refusal(400, "no stylesheet");
  const TransformResult result =
      transform(xmlText(stylesheet), modelText(name, model));
  if (!result.applied) return refusal(400, result.text);
  ProviderAnswer answer = acceptance(envelope.attribute("type").value(),
                                     envelope.attribute("action").value());
  appendOutput(answer.root(), result.text);
  return answer;
}

}  // namespace

RuleAnswer ProviderRules::answer(const std::string& body, bool changed) {
  pugi::xml_document document;
  ProviderAnswer answer = document.load_buffer(body.data(), body.size())
                              ? answerEnvelope(document.document_element())
                              : refusal(400, "not XML");
  if (changed) markChanged(answer);
  return {answer.status, answerText(answer, stamp_.time(), stamp_.id())};
}

ProviderAnswer ProviderRules::answerEnvelope(pugi::xml_node envelope) {
  const std::string type = envelope.attribute("type").value();
  const std::string action = envelope.attribute("action").value();
  const std::string name = envelope.attribute("model").value();
  if (std::string(envelope.name()) != "mdprovider" || type.empty() ||
      action.empty() || name.empty()) {
    return refusal(400, "not an mdprovider envelope");
  }
  const auto found = projects_.find(name);
  if (type == "project" && action == "create") {
    if (found != projects_.end()) return refusal(409, "project exists");
    projects_[name].open = true;
    return acceptance(type, action);
  }
  if (type == "project" && action == "open") {
    if (found == projects_.end()) return refusal(404, "no such project");
    found->second.open = true;
    return acceptance(type, action);
  }
  if (found == projects_.end() || !found->second.open) {
    return refusal(409, "project not open");
  }
  Project& project = found->second;
  if (type == "project" && action == "close") project.open = false;
  if (type == "action" && action == "execute") {
    const pugi::xml_node transaction = envelope.child("transaction");
    if (!transaction) return refusal(400, "no transaction");
    return applyTransaction(project.model, transaction);
  }
  if (type == "ma") {
    const pugi::xml_node query = envelope.child("query");
    if (!query) return refusal(400, "no query");
    ProviderAnswer answer = acceptance(type, action);
    answerQuery(project.model, query, answer.root());
    return answer;
  }
  if (type == "xs") return transformed(name, project.model, envelope);
  return acceptance(type, action);
}
