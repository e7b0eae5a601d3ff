#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// One object of a project's model.
struct ModelObject {
  std::string type;    // empty for one that setValue made
  std::string parent;  // empty: none
  std::map<std::string, std::string> properties;
  std::set<std::string> children;
};

// The objects of one project by id, with a journal that undoes every change
// since `begin` when a transaction fails part-way.
class ProjectModel {
 public:
  using Objects = std::map<std::string, ModelObject>;

  const Objects& objects() const { return objects_; }
  const ModelObject* find(const std::string& id) const;

  // The callers check first: `id` is new and `parent` empty or existing.
  void create(const std::string& id, const std::string& type,
              const std::string& parent);
  // Makes the object (without a type) when there is none.
  void setProperty(const std::string& id, const std::string& name,
                   const std::string& value);
  // Removes an existing object and its children; the ids it removed,
  // `id` first.
  std::vector<std::string> remove(const std::string& id);

  // The journal: `rollback` undoes every change since `begin`, `commit`
  // keeps them.
  void begin();
  void commit() { begin(); }
  void rollback();

 private:
  // Keeps the object's state from before its first change in the journal.
  void save(const std::string& id);
  void removeTree(const std::string& id, std::vector<std::string>& removed);

  Objects objects_;
  std::vector<std::pair<std::string, std::optional<ModelObject>>> journal_;
  std::set<std::string> saved_;
};
