// event: take part in the named-object protocol from scripts and stand-in programs.
#include "Command.h"

#include "System.h"
#include "platform/NamedObjects.h"

#include <cstdio>

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

int Probe(const std::string& name) {
    std::string why;
    if (NamedObjectFolder(&why).empty()) {
        return Fail("event: no usable folder for named objects: " + why);
    }
    CHandle h(OpenEventA(SYNCHRONIZE, FALSE, name.c_str()));
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
    const int status = RunAndWait(command, &why);
    event.Close();
    if (status < 0) {
        return Fail("event: cannot run " + command[0] + ": " + why);
    }
    return status;
}

} // namespace

int RunEvent(const Args& args) {
    if (WantsHelp(args) && (args.size() < 3 || args[2] != "--")) {
        std::fputs(kEventHelp, stdout);
        return kOk;
    }
    if (args.size() >= 2 && args[1].empty() && (args[0] == "probe" || args[0] == "hold")) {
        return Fail("event " + args[0] + ": the NAME is empty");
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
