#include "System.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
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

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }
    // Closes now, so that a failure to write back shows.
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return close(fd) == 0;
    }

private:
    int m_fd;
};

// What is left of `content`, a piece at a time.
bool WriteAll(int fd, std::FILE* content, std::string* why) {
    std::vector<char> chunk(std::size_t{1} << 20);
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), content)) > 0) {
        std::size_t done = 0;
        while (done < got) {
            const ssize_t n = write(fd, chunk.data() + done, got - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                *why = std::strerror(n < 0 ? errno : EIO);
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
    }
    if (std::ferror(content) != 0) {
        *why = std::strerror(errno);
        return false;
    }
    return true;
}

// The file beside the target while it is being written, removed when a signal ends the program
// meanwhile. Signals the caller ignores stay ignored.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};
char g_tempPath[PATH_MAX];
volatile sig_atomic_t g_haveTemp = 0;

void RemoveTempAndEnd(int sig) {
    if (g_haveTemp != 0) {
        unlink(g_tempPath);
    }
    // The handler was reset to the default on entry; the signal, blocked until this returns,
    // then ends the program as it would have.
    raise(sig);
}

class TempFileGuard {
public:
    TempFileGuard() {
        sigemptyset(&m_signals);
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
            const int sig = kEndingSignals[i];
            sigaction(sig, nullptr, &m_previous[i]);
            if (m_previous[i].sa_handler == SIG_IGN) {
                continue;
            }
            struct sigaction action {};
            action.sa_handler = RemoveTempAndEnd;
            action.sa_flags = SA_RESETHAND;
            sigemptyset(&action.sa_mask);
            sigaction(sig, &action, nullptr);
            sigaddset(&m_signals, sig);
        }
    }
    ~TempFileGuard() {
        Forget();
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
            sigaction(kEndingSignals[i], &m_previous[i], nullptr);
        }
    }
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;

    // Creates the file private and empty; -1 with errno set when it cannot be made.
    int Create(const std::string& path) {
        if (path.size() >= sizeof g_tempPath) {
            errno = ENAMETOOLONG;
            return -1;
        }
        // No signal between making the file and knowing its name.
        sigset_t old;
        sigprocmask(SIG_BLOCK, &m_signals, &old);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        const int error = errno;
        if (fd >= 0) {
            std::memcpy(g_tempPath, path.c_str(), path.size() + 1);
            g_haveTemp = 1;
        }
        sigprocmask(SIG_SETMASK, &old, nullptr);
        errno = error;
        return fd;
    }
    void Remove() {
        if (g_haveTemp != 0) {
            unlink(g_tempPath);
            Forget();
        }
    }
    void Forget() { g_haveTemp = 0; }

private:
    sigset_t m_signals;
    struct sigaction m_previous[std::size(kEndingSignals)];
};

// Where a link that names nothing yet points: the file to create.
std::string FollowDanglingLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        char target[PATH_MAX];
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            break;
        }
        const ssize_t n = readlink(path.c_str(), target, sizeof target);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) {
            break;
        }
        std::string next(target, static_cast<std::size_t>(n));
        const auto slash = path.find_last_of('/');
        if (next[0] != '/' && slash != std::string::npos) {
            next = path.substr(0, slash + 1) + next;
        }
        path = std::move(next);
    }
    return path;
}

bool WriteInPlace(const std::string& file, std::FILE* content, std::string* why) {
    Descriptor out(open(file.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (out.Get() < 0) {
        *why = std::strerror(errno);
        return false;
    }
    if (!WriteAll(out.Get(), content, why)) {
        return false;
    }
    if (!out.Close()) {
        *why = std::strerror(errno);
        return false;
    }
    return true;
}

// Writes beside the target and renames, so that a failed write never leaves half a file.
bool Replace(const std::string& target, std::FILE* content, const struct stat* existing,
             std::string* why) {
    TempFileGuard guard;
    const std::string temp = target + ".tmp-" + std::to_string(getpid());
    Descriptor out(guard.Create(temp));
    if (out.Get() < 0) {
        *why = std::strerror(errno);
        return false;
    }
    if (existing != nullptr) {
        // The replaced file's owner where this user may give it (root), and its mode.
        if (existing->st_uid != geteuid() || existing->st_gid != getegid()) {
            // Only root may give a file away; anyone else's new file stays their own.
            (void)!fchown(out.Get(), existing->st_uid, existing->st_gid);
        }
        fchmod(out.Get(), existing->st_mode & 07777);
    }
    bool ok = WriteAll(out.Get(), content, why);
    if (ok && fsync(out.Get()) != 0) {
        *why = std::strerror(errno);
        ok = false;
    }
    if (!out.Close() && ok) {
        *why = std::strerror(errno);
        ok = false;
    }
    if (ok && std::rename(temp.c_str(), target.c_str()) != 0) {
        *why = std::strerror(errno);
        ok = false;
    }
    if (ok) {
        guard.Forget();
    } else {
        guard.Remove();
    }
    return ok;
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

bool WriteOutputFile(const std::string& file, std::FILE* content, std::string* why) {
    struct stat st {};
    if (stat(file.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            *why = std::strerror(EISDIR);
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            return WriteInPlace(file, content, why);
        }
        char* real = realpath(file.c_str(), nullptr);
        if (real == nullptr) {
            *why = std::strerror(errno);
            return false;
        }
        const std::string target = real;
        std::free(real);
        return Replace(target, content, &st, why);
    }
    if (errno != ENOENT) {
        *why = std::strerror(errno);
        return false;
    }
    return Replace(FollowDanglingLinks(file), content, nullptr, why);
}

std::FILE* OpenScratchFile(std::string* why) {
    std::FILE* file = std::tmpfile();
    if (file == nullptr) {
        *why = std::strerror(errno);
    }
    return file;
}

} // namespace ctl
