// Private folders for a benchmark run, so that nothing reaches the real user's store, and the
// resident memory of a process.
#pragma once

#include <string>
#include <sys/types.h>

// Points HOME, the XDG folders and both registry files into a fresh temporary folder.
std::string UsePrivateFolders();
// Resident set size in MB, or -1.
double ResidentMB(pid_t pid);
// Creates the QApplication once, on the offscreen platform unless another was chosen.
void EnsureBenchApplication();
