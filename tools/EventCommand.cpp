// event: take part in the named-object protocol from scripts and stand-in programs.
#include "Command.h"

#include "platform/NamedObjects.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ctl {

namespace {

const char* const kEventHelp =
    "usage: quorvel-monitorctl event hold NAME -- COMMAND [ARGS...]\n"
    "       quorvel-monitorctl event probe NAME\n"
    "\n"
    "hold   creates the named event NAME, runs COMMAND (looked up in PATH, not through a\n"
    "       shell) and releases the event when it ends; exits with the command's status\n"
    "       (128 + signal when a signal ended it). SIGTERM, SIGINT and SIGHUP are passed on\n"
    "       to the command.\n"
    "probe  exits 0 when the event NAME exists (some process holds it), 1 when not; it never\n"
    "       creates the event.\n"
    "\n"
    "Exit status otherwise: 2 bad usage, no usable folder for named objects, or COMMAND\n"
    "cannot be started.\n";

volatile sig_atomic_t g_child = 0;

void PassOn(int sig) {
    if (g_child > 0) {
        kill(static_cast<pid_t>(g_child), sig);
    }
}

int Probe(const std::string& name) {
    std::string why;
    if (NamedObjectFolder(&why).empty()) {
        return Fail("event: no usable folder for named objects: " + why);
    }
    CHandle h(OpenEventA(EVENT_ALL_ACCESS, FALSE, name.c_str()));
    return h ? kOk : kFalse;
}

int Hold(const std::string& name, const Args& command) {
    std::string why;
    if (NamedObjectFolder(&why).empty()) {
        return Fail("event: no usable folder for named objects: " + why);
    }
    CHandle event(CreateEventA(nullptr, FALSE, FALSE, name.c_str()));
    if (!event) {
        return Fail("event: cannot create the event '" + name + "'");
    }
    std::vector<std::string> owned(command.begin(), command.end());
    std::vector<char*> argv;
    for (auto& arg : owned) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return Fail(std::string("event: pipe: ") + std::strerror(errno));
    }
    struct sigaction pass {};
    pass.sa_handler = PassOn;
    sigemptyset(&pass.sa_mask);
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(sig, &pass, nullptr);
    }
    const pid_t child = fork();
    if (child < 0) {
        return Fail(std::string("event: fork: ") + std::strerror(errno));
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
    event.Close();
    if (got == static_cast<ssize_t>(sizeof execError)) {
        return Fail("event: cannot run " + command[0] + ": " + std::strerror(execError));
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : kBadInput;
}

} // namespace

int RunEvent(const Args& args) {
    if (WantsHelp(args) && (args.size() < 3 || args[2] != "--")) {
        std::fputs(kEventHelp, stdout);
        return kOk;
    }
    if (args.size() == 2 && args[0] == "probe") {
        return Probe(args[1]);
    }
    if (args.size() >= 4 && args[0] == "hold" && args[2] == "--") {
        return Hold(args[1], Args(args.begin() + 3, args.end()));
    }
    if (!args.empty() && args[0] == "hold") {
        return Fail("event hold: expected NAME -- COMMAND [ARGS...] (try 'event --help')");
    }
    if (!args.empty() && args[0] == "probe") {
        return Fail("event probe: expected one NAME (try 'event --help')");
    }
    return Fail("event: expected 'hold' or 'probe' (try 'event --help')");
}

} // namespace ctl
