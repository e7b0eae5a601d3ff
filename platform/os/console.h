#pragma once

// The console run-time the client was written against, over the host OS.

// Makes `path` the working directory; 0 on success, -1 on failure.
int _chdir(const char* path);

// Waits for one key. On a terminal the key is read without echo and the
// terminal is restored; otherwise one byte is read from standard input,
// returning -1 at once at end of input so that scripts never hang here.
int _getch();

namespace platform {

// Whether standard error is a terminal a person watches.
bool standardErrorIsTerminal();
// Whether a person at a terminal both reads standard output and types into
// standard input, as a question and its answer need.
bool conversingAtTerminal();
// Whether standard output is a terminal (on Windows a console).
bool standardOutputIsTerminal();

}  // namespace platform
