#include "BenchEnv.h"

#include "support/TestEnv.h"

#include <QApplication>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

std::string UsePrivateFolders() {
    static TestEnv folders;
    return folders.Root();
}

double ResidentMB(pid_t pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    const std::string name = field;
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name, 0) == 0) {
            return std::strtod(line.c_str() + name.size(), nullptr) / 1024.0;
        }
    }
    return -1;
}

pid_t StartHeadlessMonitor(int* outFd, const std::vector<std::string>& env,
                           const std::string& errorPath) {
    return StartHeadless(BuiltMonitor(), "Monitor started.", outFd, env, errorPath);
}

pid_t StartHeadless(const std::string& program, const std::string& startedLine, int* outFd,
                    const std::vector<std::string>& env, const std::string& errorPath) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        return -1;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        const int error = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        dup2(error, STDERR_FILENO);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
        for (const std::string& variable : env) {
            putenv(const_cast<char*>(variable.c_str()));
        }
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    *outFd = out[0];
    std::string text;
    char buffer[1024];
    while (pid > 0 && text.find(startedLine) == std::string::npos) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 60000) <= 0) {
            break;
        }
        const ssize_t got = read(out[0], buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(got));
    }
    return pid;
}

void EnsureBenchApplication() {
    if (QApplication::instance() != nullptr) {
        return;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    static int argc = 1;
    static char name[] = "bench_qt";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}
