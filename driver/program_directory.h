#pragma once

// Makes the directory of `programPath` (up to and with its last separator)
// the working directory, so that relative paths of the run resolve there.
// A bare file name, or a directory that cannot be entered, leaves the
// working directory as it was.
void moveToProgramDirectory(const char* programPath);
