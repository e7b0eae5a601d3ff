#include "stand_in_provider/provider_rules.h"

#include <pugixml.hpp>

namespace {

RuleAnswer refuse(int status, const std::string& reason) {
  return {status, "<error status=\"" + std::to_string(status) + "\">" + reason +
                      "</error>"};
}

}  // namespace

RuleAnswer ProviderRules::answer(const std::string& body) {
  pugi::xml_document document;
  if (!document.load_buffer(body.data(), body.size())) {
    return refuse(400, "not XML");
  }
  const pugi::xml_node envelope = document.document_element();
  const std::string type = envelope.attribute("type").value();
  const std::string action = envelope.attribute("action").value();
  const std::string model = envelope.attribute("model").value();
  if (std::string(envelope.name()) != "mdprovider" || type.empty() ||
      action.empty() || model.empty()) {
    return refuse(400, "not an mdprovider envelope");
  }
  const auto project = projects_.find(model);
  if (type == "project" && action == "create") {
    if (project != projects_.end()) return refuse(409, "project exists");
    projects_[model] = true;
  } else if (type == "project" && action == "open") {
    if (project == projects_.end()) return refuse(404, "no such project");
    project->second = true;
  } else {
    if (project == projects_.end() || !project->second) {
      return refuse(409, "project not open");
    }
    if (type == "project" && action == "close") project->second = false;
  }
  return {200, "<answer type=\"" + type + "\" action=\"" + action +
                   "\" status=\"ok\"/>"};
}
