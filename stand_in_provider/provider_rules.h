#pragma once

#include <map>
#include <string>

// What the stand-in provider answers to one request envelope.
struct RuleAnswer {
  int status = 200;
  std::string body;
};

// The provider's rules over projects kept in memory: create of a project
// that exists 409, open of an unknown one 404, any other request for a
// project that is not open 409, a body that is not an `mdprovider`
// envelope 400, anything else 200 with a small XML answer.
class ProviderRules {
 public:
  RuleAnswer answer(const std::string& body);

 private:
  std::map<std::string, bool> projects_;  // name -> open
};
