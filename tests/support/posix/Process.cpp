#include "support/Process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Standard output and error go to files, read once the program has ended.
pid_t Spawn(const std::vector<std::string>& argv, const char* out, const char* err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed != 0 ? 0 : pid;
}

int WaitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Slurp(const std::string& path) {
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            text.append(buffer, got);
        }
        std::fclose(file);
    }
    std::remove(path.c_str());
    return text;
}

} // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv) {
    const std::string base = "/tmp/qpm-program-" + std::to_string(getpid());
    ProgramResult result;
    const pid_t pid = Spawn(argv, (base + ".out").c_str(), (base + ".err").c_str());
    if (pid != 0) {
        result.status = WaitFor(pid);
    }
    result.out = Slurp(base + ".out");
    result.err = Slurp(base + ".err");
    return result;
}

RunningProgram::RunningProgram(const std::vector<std::string>& argv)
    : m_process(Spawn(argv, "/dev/null", "/dev/null")) {}

RunningProgram::~RunningProgram() {
    Kill();
}

int RunningProgram::Wait() {
    const int status = m_process != 0 ? WaitFor(static_cast<pid_t>(m_process)) : -1;
    m_process = 0;
    return status;
}

void RunningProgram::Kill() {
    if (m_process != 0) {
        kill(static_cast<pid_t>(m_process), SIGKILL);
        Wait();
    }
}
