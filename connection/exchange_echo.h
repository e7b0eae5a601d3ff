#pragma once

class TOVIDOM_Node;

// Shows a request and the response received for it on standard output,
// then waits for one key. The response is parsed first, so a response that
// is not well-formed throws before anything is written.
void echoExchange(TOVIDOM_Node& request, const char* responseText);
