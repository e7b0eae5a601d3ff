#pragma once

// Internal to the platform layer: the namespace declarations that a copied
// subtree needs from the ancestors it was cut from. Only platform sources
// include this header.

#include <pugixml.hpp>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// Namespace declarations in scope, outermost first: (prefix, URI), with ""
// the prefix of the default namespace.
using Declarations = std::vector<std::pair<std::string, std::string>>;

// Adds the declarations that `element` makes itself.
void addDeclarationsOf(pugi::xml_node element, Declarations& into);

// Declares on `copy`, the root of a subtree whose ancestors declared
// `outside`, each prefix that its names use and that it does not declare
// itself, as a namespace-aware import does: the copy means what the
// original meant. False when memory ran out.
bool declareWhatItNeeds(pugi::xml_node copy, const Declarations& outside);

}  // namespace platform
