#pragma once

#include <pugixml.hpp>
#include <string>

#include "stand_in_provider/project_model.h"

// How answers and stylesheets see the model. An object:
//   <object id=".." type=".." parent=".."><property name="..">value</property>
//   ...</object>
// with `type` and `parent` only when it has them and its properties by
// name. `onlyProperty` not null: that property alone, when it has it.
void appendObject(pugi::xml_node to, const std::string& id,
                  const ModelObject& object,
                  const std::string* onlyProperty = nullptr);

// <object id=".." deleted="true"/>
void appendDeleted(pugi::xml_node to, const std::string& id);

// The whole model, the input of a stylesheet:
//   <model name="P"><object .../>...</model>, its objects in order of id.
std::string modelText(const std::string& name, const ProjectModel& model);
