// Programs a test starts itself, without a shell between: the arguments arrive as given on
// every system. One backend per system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ProgramResult {
    int status = -1; // the exit status; -1 when the program could not be started
    std::string out;
    std::string err;
};

// Runs argv[0] (a path, or a name looked up in PATH) with the rest as its arguments, standard
// input empty, and waits for it.
ProgramResult RunProgram(const std::vector<std::string>& argv);

// A program that runs beside the test; still running at the end of the scope, it is ended.
class RunningProgram {
public:
    explicit RunningProgram(const std::vector<std::string>& argv);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return m_process != 0; }
    // Its exit status, or 128 + the signal that ended it.
    int Wait();
    // Ends it at once, as a crash or the task manager would.
    void Kill();

private:
    std::intptr_t m_process = 0;
};
