#include "stand_in_provider/model_xml.h"

#include "stand_in_provider/xml_text.h"

namespace {

void appendProperty(pugi::xml_node to, const std::string& name,
                    const std::string& value) {
  pugi::xml_node property = to.append_child("property");
  property.append_attribute("name") = name.c_str();
  property.text() = value.c_str();
}

}  // namespace

void appendObject(pugi::xml_node to, const std::string& id,
                  const ModelObject& object, const std::string* onlyProperty) {
  pugi::xml_node element = to.append_child("object");
  element.append_attribute("id") = id.c_str();
  if (!object.type.empty()) {
    element.append_attribute("type") = object.type.c_str();
  }
  if (!object.parent.empty()) {
    element.append_attribute("parent") = object.parent.c_str();
  }
  if (onlyProperty != nullptr) {
    const auto found = object.properties.find(*onlyProperty);
    if (found != object.properties.end()) {
      appendProperty(element, found->first, found->second);
    }
    return;
  }
  for (const auto& [name, value] : object.properties) {
    appendProperty(element, name, value);
  }
}

void appendDeleted(pugi::xml_node to, const std::string& id) {
  pugi::xml_node element = to.append_child("object");
  element.append_attribute("id") = id.c_str();
  element.append_attribute("deleted") = "true";
}

std::string modelText(const std::string& name, const ProjectModel& model) {
  pugi::xml_document document;
  pugi::xml_node root = document.append_child("model");
  root.append_attribute("name") = name.c_str();
  for (const auto& [id, object] : model.objects()) {
    appendObject(root, id, object);
  }
  return xmlText(document);
}
