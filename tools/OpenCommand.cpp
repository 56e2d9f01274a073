// open: start a program exactly as the Monitor starts the client and its helpers.
#include "Command.h"

#include "platform/Launch.h"

#include <cstdio>

namespace ctl {

namespace {

const char* const kOpenHelp =
    "usage: quorvel-monitorctl open FILE [PARAMETERS]\n"
    "\n"
    "Starts FILE with PARAMETERS, one string split into arguments by the Windows command-line\n"
    "rules (double quotes group, backslashes before quotes escape), never through a shell.\n"
    "The program runs detached: its own session, standard streams on /dev/null.\n"
    "Example: open '/opt/quorvel/Quorvel PRO.exe' '\"ftq:///home/me/my queue.ftq\"'\n"
    "\n"
    "Exit status: 0 started, 1 FILE could not be started, 2 bad usage.\n";

} // namespace

int RunOpen(const Args& args) {
    // Only in first place: later arguments belong to the program.
    if (!args.empty() && WantsHelp(Args(args.begin(), args.begin() + 1))) {
        std::fputs(kOpenHelp, stdout);
        return kOk;
    }
    if (args.empty() || args.size() > 2) {
        return Fail("open: expected FILE and at most one PARAMETERS string; quote the "
                    "parameters as one argument (try 'open --help')");
    }
    std::string error;
    if (!SystemShell().Open(args[0], args.size() == 2 ? args[1].c_str() : nullptr, &error)) {
        std::fprintf(stderr, "quorvel-monitorctl: open: cannot start %s\n", error.c_str());
        return kFalse;
    }
    return kOk;
}

} // namespace ctl
