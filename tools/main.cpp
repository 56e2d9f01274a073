// quorvel-monitorctl: the Monitor's state and protocols from the command line, through the
// same store and platform code the Monitor uses.
#include "Command.h"
#include "app/Version.h"
#include "platform/SystemText.h"

#include "platform/registry/Registry.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ctl {

int Fail(const std::string& message) {
    std::fprintf(stderr, "quorvel-monitorctl: %s\n", message.c_str());
    return kBadInput;
}

// Nothing lost, nothing reported done that was not: a change that did not commit is one line
// and a non-zero status, never the output of a success.
int NotSaved(const std::string& what) {
    std::fprintf(stderr, "quorvel-monitorctl: %s: not saved: %s\n", what.c_str(),
                 RegLastFailure(HKEY_CURRENT_USER).c_str());
    return kFalse;
}

// An unreadable store reads as an empty one: a listing says why and fails instead of passing
// for "nothing stored".
bool StoreUnreadable(const std::string& what) {
    const std::string why = RegStoreProblem(HKEY_CURRENT_USER);
    if (why.empty()) {
        return false;
    }
    std::fprintf(stderr, "quorvel-monitorctl: %s: the store cannot be read: %s\n", what.c_str(),
                 why.c_str());
    return true;
}

bool WantsHelp(const Args& args) {
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") {
            return true;
        }
    }
    return false;
}

} // namespace ctl

namespace {

struct Subcommand {
    const char* name;
    int (*run)(const ctl::Args&);
    const char* summary;
};

const Subcommand kSubcommands[] = {
    {"import", ctl::RunImport, "import FILE            load a registry file (all or nothing)"},
    {"export", ctl::RunExport,
     "export KEY [FILE]      write a key and its subtree as a registry file"},
    {"event", ctl::RunEvent,
     "event hold|probe NAME  hold a named event around a command, or probe it"},
    {"open", ctl::RunOpen, "open FILE [PARAMETERS] start a program as the Monitor does"},
    {"schedule", ctl::RunSchedule, "schedule list|add|remove  the scheduled queue transfers"},
    {"resume", ctl::RunResume, "resume list|forget     the interrupted transfers"},
};

void PrintUsage(FILE* out) {
    std::fprintf(out, "usage: quorvel-monitorctl COMMAND [ARGS...]\n\ncommands:\n");
    for (const auto& sub : kSubcommands) {
        std::fprintf(out, "  %s\n", sub.summary);
    }
    std::fprintf(out, "\n'quorvel-monitorctl COMMAND --help' describes one command;\n"
                      "'quorvel-monitorctl --version' prints the version.\n"
                      "Exit status: 0 success, 1 not found or false, 2 bad usage or input.\n");
}

int Dispatch(int argc, char** argv) {
    const ctl::Args arguments = ProgramArguments(argc, argv);
    if (arguments.size() < 2) {
        return ctl::Fail("expected a command (try --help)");
    }
    const std::string command = arguments[1];
    if (command == "--help" || command == "-h" || command == "help") {
        PrintUsage(stdout);
        return ctl::kOk;
    }
    if (command == "--version") {
        std::printf("quorvel-monitorctl %s\n", MonitorVersion::Number);
        return ctl::kOk;
    }
    for (const auto& sub : kSubcommands) {
        if (command == sub.name) {
            return sub.run(ctl::Args(arguments.begin() + 2, arguments.end()));
        }
    }
    return ctl::Fail("unknown command '" + command + "' (try --help)");
}

} // namespace

int main(int argc, char** argv) {
    const int status = Dispatch(argc, argv);
    // Output that could not be written (a full disk, a closed pipe) is no success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "quorvel-monitorctl: cannot write the output: %s\n",
                     std::strerror(errno));
        return status != ctl::kOk ? status : ctl::kFalse;
    }
    return status;
}
