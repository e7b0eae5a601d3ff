#pragma once

#include <pugixml.hpp>
#include <string>

// What the stand-in answers to one envelope, before it is written.
struct ProviderAnswer {
  int status = 200;
  pugi::xml_document document;

  pugi::xml_node root() const { return document.document_element(); }
};

// <answer type=".." action=".." status="ok">, its content still to come.
ProviderAnswer acceptance(const std::string& type, const std::string& action);

// <error status="N">reason</error>
ProviderAnswer refusal(int status, const std::string& reason);

// One visible value changed, for --differ: the first property's value gets
// " (changed)"; without a property the root's status becomes "changed".
void markChanged(ProviderAnswer& answer);

// The body: the root gets `time` and `id` as its last attributes, where a
// provider writes them, and is written without a declaration.
std::string answerText(ProviderAnswer& answer, const std::string& time,
                       const std::string& id);
