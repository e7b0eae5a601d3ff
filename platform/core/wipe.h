#pragma once

#include <string>

namespace platform {

// Overwrites the text's bytes with zeros before it is emptied, in a way the
// compiler may not leave out: a secret does not outlive its use in memory
// this program owns.
void wipe(std::string& text);

}  // namespace platform
