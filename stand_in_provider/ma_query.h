#pragma once

#include <pugixml.hpp>

#include "stand_in_provider/project_model.h"

// Answers an MA query into `answer`:
//   <query><select object="TYPE" property="NAME"/>...
//          <where property="P" equals="V"/>...</query>
// Each select becomes a <select> like it holding the objects of that type
// (of any type without `object`) that meet every where, in order of id,
// each with that property (all of them without `property`).
void answerQuery(const ProjectModel& model, pugi::xml_node query,
                 pugi::xml_node answer);
