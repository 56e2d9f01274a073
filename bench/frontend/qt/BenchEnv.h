// Private folders for a benchmark run, so that nothing reaches the real user's store, the
// built Monitor started headless, and the resident memory of a process.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Points HOME, the XDG folders and both registry files into a fresh temporary folder.
std::string UsePrivateFolders();
// Resident set size in MB, or -1; `field` "VmHWM:" gives the peak instead.
double ResidentMB(pid_t pid, const char* field = "VmRSS:");
// Starts the built Monitor headless with `env` ("NAME=value") added, its standard output into
// a pipe (*outFd) and its error output into `errorPath`, and waits up to a minute for its first
// log line. The pid, or -1.
pid_t StartHeadlessMonitor(int* outFd, const std::vector<std::string>& env = {},
                           const std::string& errorPath = "/dev/null");
// The same for any program that writes `startedLine` once it is up.
pid_t StartHeadless(const std::string& program, const std::string& startedLine, int* outFd,
                    const std::vector<std::string>& env = {},
                    const std::string& errorPath = "/dev/null");
// Creates the QApplication once, on the offscreen platform unless another was chosen.
void EnsureBenchApplication();
