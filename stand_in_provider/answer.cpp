#include "stand_in_provider/answer.h"

#include "stand_in_provider/xml_text.h"

ProviderAnswer acceptance(const std::string& type, const std::string& action) {
  ProviderAnswer answer;
  pugi::xml_node root = answer.document.append_child("answer");
  root.append_attribute("type") = type.c_str();
  root.append_attribute("action") = action.c_str();
  root.append_attribute("status") = "ok";
  return answer;
}

ProviderAnswer refusal(int status, const std::string& reason) {
  ProviderAnswer answer;
  answer.status = status;
  pugi::xml_node root = answer.document.append_child("error");
  root.append_attribute("status") = status;
  root.text() = reason.c_str();
  return answer;
}

void markChanged(ProviderAnswer& answer) {
  const pugi::xml_node property =
      answer.document.find_node([](pugi::xml_node node) {
        return std::string(node.name()) == "property";
      });
  if (property) {
    property.text() =
        (std::string(property.text().get()) + " (changed)").c_str();
  } else {
    answer.root().attribute("status") = "changed";
  }
}

std::string answerText(ProviderAnswer& answer, const std::string& time,
                       const std::string& id) {
  pugi::xml_node root = answer.root();
  root.append_attribute("time") = time.c_str();
  root.append_attribute("id") = id.c_str();
  return xmlText(answer.document);
}
