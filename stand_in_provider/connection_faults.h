#pragma once

// Ends the connection between this process's `localPort` and the peer's
// `peerPort` on loopback without an HTTP answer: after `bytes` (may be
// null) it is shut down, so the peer sees the connection close.
void breakConnection(int localPort, int peerPort, const char* bytes);

// Whether this system can do it; where it cannot, the flags that need it
// are refused at the start.
bool canBreakConnections();
