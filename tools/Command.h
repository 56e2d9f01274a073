// The companion's subcommands. Exit status: 0 success, 1 "not found / false", 2 bad usage or
// bad input (with a one-line error on standard error naming what was wrong).
#pragma once

#include <string>
#include <vector>

namespace ctl {

constexpr int kOk = 0;
constexpr int kFalse = 1;
constexpr int kBadInput = 2;

using Args = std::vector<std::string>;

// Prints "quorvel-monitorctl: <message>" on standard error and returns kBadInput.
int Fail(const std::string& message);
// Prints "quorvel-monitorctl: <what>: not saved: <store file>: <why>" on standard error for a
// change the store refused, and returns kFalse.
int NotSaved(const std::string& what);
// True, with one line on standard error, when the user's store turned out unreadable: an empty
// list from it would pass for "nothing stored".
bool StoreUnreadable(const std::string& what);
// True when the arguments ask for help.
bool WantsHelp(const Args& args);

int RunImport(const Args& args);
int RunExport(const Args& args);
int RunEvent(const Args& args);
int RunOpen(const Args& args);
int RunSchedule(const Args& args);
int RunResume(const Args& args);

} // namespace ctl
