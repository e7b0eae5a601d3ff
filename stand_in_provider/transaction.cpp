#include "stand_in_provider/transaction.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "stand_in_provider/model_xml.h"

namespace {

struct Failure {
  int status;
  std::string reason;
};

// The objects a transaction named, first named first.
class Touched {
 public:
  void add(const std::string& id) {
    if (seen_.insert(id).second) ids_.push_back(id);
  }
  const std::vector<std::string>& ids() const { return ids_; }

 private:
  std::vector<std::string> ids_;
  std::set<std::string> seen_;
};

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// setProperty's value is its text, setValue's that of its <value>.
std::string valueOf(pugi::xml_node action) {
  const pugi::xml_node value = action.child("value");
  return value ? value.text().get() : action.text().get();
}

std::optional<Failure> apply(ProjectModel& model, pugi::xml_node action,
                             Touched& touched) {
  const std::string name = action.attribute("name").value();
  if (name == "createObject") {
    const std::string id = action.attribute("id").value();
    const std::string parent = action.attribute("parent").value();
    if (id.empty()) return Failure{400, "createObject without an id"};
    if (model.find(id) != nullptr) {
      return Failure{409, "createObject " + quoted(id) + ": the object exists"};
    }
    if (!parent.empty() && model.find(parent) == nullptr) {
      return Failure{
          404, "createObject " + quoted(id) + ": no parent " + quoted(parent)};
    }
    model.create(id, action.attribute("type").value(), parent);
    touched.add(id);
  } else if (name == "setProperty" || name == "setValue") {
    const std::string id = action.attribute("object").value();
    const std::string property = action.attribute("property").value();
    if (id.empty() || property.empty()) {
      return Failure{400, name + " without an object or a property"};
    }
    if (name == "setProperty" && model.find(id) == nullptr) {
      return Failure{404, name + " " + quoted(id) + ": no such object"};
    }
    model.setProperty(id, property, valueOf(action));
    touched.add(id);
  } else if (name == "deleteObject") {
    const std::string id = action.attribute("id").value();
    if (model.find(id) == nullptr) {
      return Failure{404, name + " " + quoted(id) + ": no such object"};
    }
    for (const std::string& removed : model.remove(id)) touched.add(removed);
  } else {
    return Failure{400, "unknown action " + quoted(name)};
  }
  return std::nullopt;
}

}  // namespace

ProviderAnswer applyTransaction(ProjectModel& model,
                                pugi::xml_node transaction) {
  model.begin();
  Touched touched;
  for (pugi::xml_node action : transaction.children("action")) {
    if (const std::optional<Failure> failure = apply(model, action, touched)) {
      model.rollback();
      return refusal(failure->status, failure->reason);
    }
  }
  model.commit();
  ProviderAnswer answer = acceptance("action", "execute");
  pugi::xml_node applied = answer.root().append_child("transaction");
  if (const pugi::xml_attribute seq = transaction.attribute("seq")) {
    applied.append_attribute("seq") = seq.value();
  }
  for (const std::string& id : touched.ids()) {
    if (const ModelObject* object = model.find(id)) {
      appendObject(applied, id, *object);
    } else {
      appendDeleted(applied, id);
    }
  }
  return answer;
}
