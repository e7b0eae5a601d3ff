#pragma once

#include <map>
#include <pugixml.hpp>
#include <string>

#include "stand_in_provider/answer.h"
#include "stand_in_provider/answer_stamp.h"
#include "stand_in_provider/project_model.h"

// What the stand-in provider answers to one request envelope.
struct RuleAnswer {
  int status = 200;
  std::string body;
};

// The provider's rules over projects kept in memory, each with its model:
// create of a project that exists 409, open of an unknown one 404, any
// other request for a project that is not open 409, a body that is not an
// `mdprovider` envelope 400. Transactions change the model, MA queries and
// XS stylesheets read it; anything else is 200. Every answer is XML whose
// root carries `time` and `id`, which differ from run to run.
class ProviderRules {
 public:
  // `changed`: answer with one value changed (--differ); the model is
  // changed only as the request says.
  RuleAnswer answer(const std::string& body, bool changed = false);

 private:
  struct Project {
    bool open = false;
    ProjectModel model;
  };

  ProviderAnswer answerEnvelope(pugi::xml_node envelope);

  std::map<std::string, Project> projects_;
  AnswerStamp stamp_;
};
