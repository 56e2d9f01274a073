#include "support/Process.h"

#include "platform/Launch.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

HANDLE OpenInherited(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The command line every Windows program splits back into the same arguments.
HANDLE Spawn(const std::vector<std::string>& argv, const std::string& out, const std::string& err) {
    std::string line;
    for (const auto& arg : argv) {
        // Appended piece by piece: GCC 12 at -O3 takes " " + std::string for an overlapping
        // copy (-Werror=restrict).
        if (!line.empty()) {
            line += ' ';
        }
        line += QuoteArgument(arg);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = OpenInherited("NUL", GENERIC_READ, OPEN_EXISTING);
    startup.hStdOutput = OpenInherited(out, GENERIC_WRITE, CREATE_ALWAYS);
    startup.hStdError = OpenInherited(err, GENERIC_WRITE, CREATE_ALWAYS);
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    for (HANDLE stream : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
        CloseHandle(stream);
    }
    if (!started) {
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

int WaitFor(HANDLE process) {
    WaitForSingleObject(process, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process, &status);
    CloseHandle(process);
    return static_cast<int>(status);
}

std::string Slurp(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    DeleteFileA(path.c_str());
    return text.str();
}

} // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv) {
    std::error_code ec;
    const std::string base = (std::filesystem::temp_directory_path(ec) /
                              ("qpm-program-" + std::to_string(GetCurrentProcessId())))
                                 .string();
    ProgramResult result;
    if (HANDLE process = Spawn(argv, base + ".out", base + ".err")) {
        result.status = WaitFor(process);
    }
    result.out = Slurp(base + ".out");
    result.err = Slurp(base + ".err");
    return result;
}

RunningProgram::RunningProgram(const std::vector<std::string>& argv)
    : m_process(reinterpret_cast<std::intptr_t>(Spawn(argv, "NUL", "NUL"))) {}

RunningProgram::~RunningProgram() {
    Kill();
}

int RunningProgram::Wait() {
    const int status = m_process != 0 ? WaitFor(reinterpret_cast<HANDLE>(m_process)) : -1;
    m_process = 0;
    return status;
}

void RunningProgram::Kill() {
    if (m_process != 0) {
        TerminateProcess(reinterpret_cast<HANDLE>(m_process), 1);
        Wait();
    }
}
