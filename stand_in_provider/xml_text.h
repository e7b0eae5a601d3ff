#pragma once

#include <pugixml.hpp>
#include <string>

// A node (a document: its children) as XML text, without a declaration or
// added white space.
std::string xmlText(pugi::xml_node node);
