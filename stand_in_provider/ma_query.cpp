#include "stand_in_provider/ma_query.h"

#include <string>

#include "stand_in_provider/model_xml.h"

namespace {

bool meetsEveryWhere(const ModelObject& object, pugi::xml_node query) {
  for (pugi::xml_node where : query.children("where")) {
    const auto found =
        object.properties.find(where.attribute("property").value());
    if (found == object.properties.end() ||
        found->second != where.attribute("equals").value()) {
      return false;
    }
  }
  return true;
}

}  // namespace

void answerQuery(const ProjectModel& model, pugi::xml_node query,
                 pugi::xml_node answer) {
  for (pugi::xml_node select : query.children("select")) {
    pugi::xml_node selected = answer.append_child("select");
    const pugi::xml_attribute type = select.attribute("object");
    const pugi::xml_attribute property = select.attribute("property");
    if (type) selected.append_attribute("object") = type.value();
    if (property) selected.append_attribute("property") = property.value();
    const std::string only = property.value();
    for (const auto& [id, object] : model.objects()) {
      if ((!type || object.type == type.value()) &&
          meetsEveryWhere(object, query)) {
        appendObject(selected, id, object, property ? &only : nullptr);
      }
    }
  }
}
