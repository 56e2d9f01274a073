// What the companion needs from the system beyond the platform layer, one backend per system.
#pragma once

#include "Command.h"

#include <string>

namespace ctl {

// Runs COMMAND [ARGS...] (looked up in PATH, never through a shell) and waits for it: its exit
// status, 128 + the signal that ended it, or -1 with the reason when it could not be started.
// Termination requests to the companion are passed on to the command meanwhile.
int RunAndWait(const Args& command, std::string* why);

// Writes `content` to `file` readable by the user alone, through a file beside it that replaces
// the old one only once everything is on disk.
bool WritePrivateFile(const std::string& file, const std::string& content, std::string* why);

} // namespace ctl
