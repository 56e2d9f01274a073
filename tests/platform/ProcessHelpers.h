// Running a piece of test code in a child process, for the rules that only show between
// processes (locks, named objects, concurrent writers).
#pragma once

#include "platform/registry/Registry.h"

#include <functional>
#include <string>
#include <sys/types.h>

// Forks a child that runs `body` and exits with its result. Registry connections are closed
// first so that the child opens its own instead of sharing the parent's.
pid_t ForkChild(const std::function<int()>& body);
// Waits for the child; its exit status, or 128 + the signal that ended it.
int WaitChild(pid_t pid);

// A one-byte signal from one process to another, for "I am ready" / "go on".
class Signal {
public:
    Signal();
    ~Signal();
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;
    void Send();
    // False when the other side went away or nothing came within `timeoutMs`.
    bool Wait(int timeoutMs = 10000);

private:
    int m_fds[2];
};

// Forks another program's hold on the store file: its own connection runs `lockSql` (a
// transaction begun, perhaps a change made), sends `locked`, holds on until `release` comes
// (at most `holdMs`) or, without one, for `holdMs`, then commits. Exit status: 0 done,
// 1 the lock was not taken, 2 no release came in time, 3 the commit failed.
pid_t ForkStoreHolder(const std::string& file, const char* lockSql, Signal& locked, int holdMs,
                      Signal* release = nullptr);
