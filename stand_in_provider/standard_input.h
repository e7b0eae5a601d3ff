#pragma once

// Returns when standard input ends (or can no longer be read); what it
// holds is read and dropped.
void waitForEndOfInput();
