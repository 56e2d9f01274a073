#include "ProcessHelpers.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

pid_t ForkChild(const std::function<int()>& body) {
    RegCloseStores();
    const pid_t pid = fork();
    if (pid == 0) {
        int status = 99;
        try {
            status = body();
        } catch (...) {
        }
        RegCloseStores();
        _exit(status);
    }
    return pid;
}

int WaitChild(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

Signal::Signal() {
    if (pipe2(m_fds, O_CLOEXEC) != 0) {
        m_fds[0] = m_fds[1] = -1;
    }
}

Signal::~Signal() {
    close(m_fds[0]);
    close(m_fds[1]);
}

void Signal::Send() {
    const char byte = 1;
    (void)!write(m_fds[1], &byte, 1);
}

bool Signal::Wait(int timeoutMs) {
    pollfd pfd{m_fds[0], POLLIN, 0};
    if (poll(&pfd, 1, timeoutMs) != 1) {
        return false;
    }
    char byte = 0;
    return read(m_fds[0], &byte, 1) == 1;
}

pid_t ForkStoreHolder(const std::string& file, const char* lockSql, Signal& locked, int holdMs,
                      Signal* release) {
    return ForkChild([&] {
        sqlite3* db = nullptr;
        if (sqlite3_open(file.c_str(), &db) != SQLITE_OK ||
            sqlite3_exec(db, lockSql, nullptr, nullptr, nullptr) != SQLITE_OK) {
            return 1;
        }
        locked.Send();
        bool released = true;
        if (release != nullptr) {
            released = release->Wait(holdMs);
        } else {
            usleep(static_cast<useconds_t>(holdMs) * 1000);
        }
        const int rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return !released ? 2 : rc == SQLITE_OK ? 0 : 3;
    });
}
