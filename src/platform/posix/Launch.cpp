#include "platform/Launch.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

const char kFolderSeparator = '/';

namespace {

// In the grandchild: becomes its own session, detaches its streams and runs the program.
// Only async-signal-safe calls are made between fork and exec.
[[noreturn]] void RunDetached(const char* file, char* const argv[], int reportFd) {
    setsid();
    // The caller may have run with a standard stream closed, so the report pipe can sit on
    // 0-2; move it out of the way before the streams are replaced.
    if (reportFd <= 2) {
        const int moved = fcntl(reportFd, F_DUPFD_CLOEXEC, 3);
        if (moved < 0) {
            _exit(127);
        }
        reportFd = moved;
    }
    const int devNull = open("/dev/null", O_RDWR);
    if (devNull >= 0) {
        dup2(devNull, 0);
        dup2(devNull, 1);
        dup2(devNull, 2);
        if (devNull > 2) {
            close(devNull);
        }
    }
    if (reportFd > 3) {
        close_range(3, static_cast<unsigned>(reportFd) - 1, 0);
    }
    close_range(static_cast<unsigned>(reportFd) + 1, ~0U, 0);
    // Blocked and ignored signals survive exec; the caller's choices (a GUI blocking SIGTERM
    // for its own handling, say) must not leave the program unable to be stopped.
    struct sigaction deflt {};
    deflt.sa_handler = SIG_DFL;
    sigemptyset(&deflt.sa_mask);
    for (int sig = 1; sig < NSIG; ++sig) {
        sigaction(sig, &deflt, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(file, argv);
    const int error = errno;
    (void)!write(reportFd, &error, sizeof error);
    _exit(127);
}

class CPosixShell : public IShellOpen {
public:
    bool Open(const std::string& file, const char* parameters, std::string* error) override {
        struct stat st {};
        if (stat(file.c_str(), &st) != 0) {
            return Report(error, Plainly(file, errno));
        }
        if (S_ISDIR(st.st_mode)) {
            return Report(error, Plainly(file, EISDIR));
        }
        std::vector<std::string> args = SplitCommandLine(parameters != nullptr ? parameters : "");
        args.insert(args.begin(), file);
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);

        int report[2];
        if (pipe2(report, O_CLOEXEC) != 0) {
            return Report(error, std::string("pipe: ") + std::strerror(errno));
        }
        const pid_t child = fork();
        if (child < 0) {
            close(report[0]);
            close(report[1]);
            return Report(error, std::string("fork: ") + std::strerror(errno));
        }
        if (child == 0) {
            close(report[0]);
            const pid_t grandchild = fork();
            if (grandchild == 0) {
                RunDetached(file.c_str(), argv.data(), report[1]);
            }
            _exit(grandchild < 0 ? 1 : 0);
        }
        close(report[1]);
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        int execError = 0;
        ssize_t got;
        while ((got = read(report[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
        }
        close(report[0]);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            return Report(error, "fork failed");
        }
        if (got == static_cast<ssize_t>(sizeof execError)) {
            return Report(error, Plainly(file, execError));
        }
        return true;
    }

private:
    // Why `file` cannot be started, in words a user can act on; the log shows it as is.
    static std::string Plainly(const std::string& file, int code) {
        switch (code) {
        case ENOENT:
            return file + " does not exist";
        case ENOTDIR:
            return file + " is not in a folder that exists";
        case EISDIR:
            return file + " is a folder, not a program";
        case EACCES:
        case EPERM:
            return file + " is not executable";
        case ENOEXEC:
            return file + " is not a program this system can run";
        default:
            return file + ": " + std::strerror(code);
        }
    }
    static bool Report(std::string* error, const std::string& text) {
        if (error != nullptr) {
            *error = text;
        }
        return false;
    }
};

} // namespace

IShellOpen& SystemShell() {
    static CPosixShell shell;
    return shell;
}
