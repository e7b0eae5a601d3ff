#pragma once

// The whole run: move to the program's directory, read the command line,
// open or create the project, run the named test, close the project.
// Returns the exit status: 0 when the run reaches its end, 1 otherwise.
int runClient(int argc, char** argv);
