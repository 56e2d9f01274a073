#include "System.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace ctl {

namespace {

volatile sig_atomic_t g_child = 0;

void PassOn(int sig) {
    if (g_child > 0) {
        kill(static_cast<pid_t>(g_child), sig);
    }
}

} // namespace

int RunAndWait(const Args& command, std::string* why) {
    std::vector<std::string> owned(command.begin(), command.end());
    std::vector<char*> argv;
    for (auto& arg : owned) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        *why = std::string("pipe: ") + std::strerror(errno);
        return -1;
    }
    struct sigaction pass {};
    pass.sa_handler = PassOn;
    sigemptyset(&pass.sa_mask);
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(sig, &pass, nullptr);
    }
    const pid_t child = fork();
    if (child < 0) {
        *why = std::string("fork: ") + std::strerror(errno);
        close(report[0]);
        close(report[1]);
        return -1;
    }
    if (child == 0) {
        close(report[0]);
        struct sigaction deflt {};
        deflt.sa_handler = SIG_DFL;
        for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
            sigaction(sig, &deflt, nullptr);
        }
        execvp(argv[0], argv.data());
        const int error = errno;
        (void)!write(report[1], &error, sizeof error);
        _exit(127);
    }
    g_child = child;
    close(report[1]);
    int execError = 0;
    ssize_t got;
    while ((got = read(report[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    g_child = 0;
    if (got == static_cast<ssize_t>(sizeof execError)) {
        *why = std::strerror(execError);
        return -1;
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : kBadInput;
}

bool WritePrivateFile(const std::string& file, const std::string& content, std::string* why) {
    // Private, like the store it comes from: exported values may be anybody's secrets.
    const std::string temp = file + ".tmp-" + std::to_string(getpid());
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    FILE* out = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (out == nullptr) {
        *why = std::strerror(errno);
        if (fd >= 0) {
            close(fd);
            std::remove(temp.c_str());
        }
        return false;
    }
    bool ok = std::fwrite(content.data(), 1, content.size(), out) == content.size();
    ok = std::fflush(out) == 0 && ok;
    ok = fsync(fileno(out)) == 0 && ok;
    if (!ok) {
        *why = std::strerror(errno);
    }
    std::fclose(out);
    if (ok && std::rename(temp.c_str(), file.c_str()) != 0) {
        *why = std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        std::remove(temp.c_str());
    }
    return ok;
}

} // namespace ctl
