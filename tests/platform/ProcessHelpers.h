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
