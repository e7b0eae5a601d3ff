#pragma once

#include <string>

class SecretMask;
class TOVIDOM_Node;

// Shows a request and the response received for it on standard output,
// then waits for one key. The response is parsed first, so a response that
// is not well-formed throws before anything is written.
void echoExchange(TOVIDOM_Node& request, const char* responseText);

// The same for an answer as it came from the provider: shown as XML when
// it is well-formed (NUL included, it is not), otherwise as the text it is,
// the run's secrets hidden in all that is shown. Viewing never throws for
// the answer's sake.
void showExchange(TOVIDOM_Node& request, const std::string& answer,
                  const SecretMask& secrets);
