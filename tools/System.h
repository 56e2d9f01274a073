// What the companion needs from the system beyond the platform layer, one backend per system.
#pragma once

#include "Command.h"

#include <cstdio>
#include <string>

namespace ctl {

// Runs COMMAND [ARGS...] (looked up in PATH, never through a shell) and waits for it: its exit
// status, 128 + the signal that ended it, or -1 with the reason when it could not be started.
// Termination requests to the companion are passed on to the command meanwhile.
int RunAndWait(const Args& command, std::string* why);

// Writes what is left of `content` (read from where it stands to its end) to `file`. What is not a
// regular file (a terminal, a pipe, a device) is written in place, never replaced; a regular file
// is replaced by a file written beside it once everything is on disk, keeping its mode (a new file
// is readable by the user alone). A symbolic link is followed and what it names is treated by the
// same rules. The file beside is removed on any failure and when a signal ends the companion
// meanwhile.
bool WriteOutputFile(const std::string& file, std::FILE* content, std::string* why);

// A file for this process alone, open for reading and writing and gone once closed (or once
// the process ends): where an input that can be read only once is kept to be read again.
std::FILE* OpenScratchFile(std::string* why);

} // namespace ctl
