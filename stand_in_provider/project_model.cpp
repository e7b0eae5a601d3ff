#include "stand_in_provider/project_model.h"

const ModelObject* ProjectModel::find(const std::string& id) const {
  const auto found = objects_.find(id);
  return found == objects_.end() ? nullptr : &found->second;
}

void ProjectModel::create(const std::string& id, const std::string& type,
                          const std::string& parent) {
  save(id);
  ModelObject& object = objects_[id];
  object.type = type;
  object.parent = parent;
  if (!parent.empty()) {
    save(parent);
    objects_[parent].children.insert(id);
  }
}

void ProjectModel::setProperty(const std::string& id, const std::string& name,
                               const std::string& value) {
  save(id);
  objects_[id].properties[name] = value;
}

std::vector<std::string> ProjectModel::remove(const std::string& id) {
  std::vector<std::string> removed;
  const std::string parent = objects_.at(id).parent;
  if (!parent.empty()) {
    save(parent);
    objects_.at(parent).children.erase(id);
  }
  removeTree(id, removed);
  return removed;
}

void ProjectModel::removeTree(const std::string& id,
                              std::vector<std::string>& removed) {
  // A chain of objects may be as deep as a transaction makes it: no
  // recursion.
  std::vector<std::string> left = {id};
  while (!left.empty()) {
    const std::string next = std::move(left.back());
    left.pop_back();
    save(next);
    const auto found = objects_.find(next);
    const std::set<std::string> children = std::move(found->second.children);
    objects_.erase(found);
    removed.push_back(next);
    left.insert(left.end(), children.rbegin(), children.rend());
  }
}

void ProjectModel::begin() {
  journal_.clear();
  saved_.clear();
}

void ProjectModel::rollback() {
  // Each object was saved once, before its first change: any order will do.
  for (auto& [id, before] : journal_) {
    if (before) {
      objects_[id] = std::move(*before);
    } else {
      objects_.erase(id);
    }
  }
  begin();
}

void ProjectModel::save(const std::string& id) {
  if (!saved_.insert(id).second) return;
  const auto found = objects_.find(id);
  journal_.emplace_back(id, found == objects_.end()
                                ? std::nullopt
                                : std::optional<ModelObject>(found->second));
}
