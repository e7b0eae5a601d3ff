#pragma once

#include <pugixml.hpp>

#include "stand_in_provider/answer.h"
#include "stand_in_provider/project_model.h"

// Applies a transaction's own `action` children in order, all or nothing.
// Those of a transaction nested in it are not applied: the client sends the
// nested one by itself as well. The answer lists the objects it touched as
// they are after it (removed ones as deleted); a failing action's refusal
// is the answer to the whole, and nothing of it is kept.
//
//   createObject type id [parent]   an id that exists 409, no parent 404
//   setProperty object property     the action's text; no object 404
//   setValue object property        the text of its <value>; makes the
//                                   object when there is none
//   deleteObject id                 with its children; no object 404
//   anything else                   400
ProviderAnswer applyTransaction(ProjectModel& model,
                                pugi::xml_node transaction);
