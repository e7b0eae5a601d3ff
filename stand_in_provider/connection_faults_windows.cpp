#include "stand_in_provider/connection_faults.h"

// The server library hands no socket to the handlers, and Windows has no
// sound way to find one by its ports (no list of a process's sockets):
// --drop and --garbage are refused at the start instead.
void breakConnection(int, int, const char*) {}

bool canBreakConnections() { return false; }
