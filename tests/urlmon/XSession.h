// An X or Wayland session of a test's or benchmark's own: child processes ended by their pid,
// Xvfb on a free display number, a private session bus, xclip as the clipboard's owner, a
// headless sway.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pwd.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace xsession {

inline void SleepMs(int ms) {
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

inline std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline bool Installed(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// This process's environment with variables replaced ("NAME=value") or removed ("NAME").
inline std::vector<std::string> Environment(const std::vector<std::string>& changes) {
    auto nameOf = [](const std::string& s) { return s.substr(0, s.find('=')); };
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        bool changed = false;
        for (const auto& c : changes) {
            changed = changed || nameOf(*e) == nameOf(c);
        }
        if (!changed) {
            env.emplace_back(*e);
        }
    }
    for (const auto& c : changes) {
        if (c.find('=') != std::string::npos) {
            env.push_back(c);
        }
    }
    return env;
}

// A child process, ended by its pid when the object goes.
class CChild {
public:
    CChild() = default;
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;
    ~CChild() { End(); }

    // Standard input from `stdinFd` (or /dev/null), output to `outputPath`, `extraFd` as 3.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               int stdinFd = -1, const std::string& outputPath = "/dev/null", int extraFd = -1) {
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        std::vector<char*> envp;
        for (const auto& e : env) {
            envp.push_back(const_cast<char*>(e.c_str()));
        }
        envp.push_back(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            const int in = stdinFd >= 0 ? stdinFd : open("/dev/null", O_RDONLY);
            const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            dup2(in, 0);
            dup2(out, 1);
            dup2(out, 2);
            if (extraFd >= 0) {
                dup2(extraFd, 3);
            }
            execvpe(args[0], args.data(), envp.data());
            _exit(127);
        }
        return m_pid > 0;
    }
    pid_t Pid() const { return m_pid; }
    bool Running() {
        if (m_pid <= 0) {
            return false;
        }
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
        return true;
    }
    void End() {
        if (!Running()) {
            return;
        }
        kill(m_pid, SIGTERM);
        for (int waited = 0; waited < 5000 && Running(); waited += 20) {
            SleepMs(20);
        }
        if (Running()) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

// Starts a program that writes one line to its descriptor 3 once it is ready (a display
// number, a bus address); that line, or empty.
inline std::string StartAndReadLine(CChild& child, const std::vector<std::string>& argv,
                                    const std::string& logPath) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return {};
    }
    const bool started = child.Start(argv, Environment({}), -1, logPath, fds[1]);
    close(fds[1]);
    std::string line;
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    while (started && poll(&p, 1, 15000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') {
        line += c;
    }
    close(fds[0]);
    return line;
}

// Starts Xvfb on a free display number; the display (":N") or empty.
inline std::string StartXvfb(CChild& xvfb, const std::string& logPath) {
    const std::string number = StartAndReadLine(
        xvfb, {"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "640x480x24"},
        logPath);
    return number.empty() ? std::string() : ":" + number;
}

// Starts a private session bus; its address, or empty.
inline std::string StartSessionBus(CChild& bus) {
    return StartAndReadLine(bus, {"dbus-daemon", "--session", "--nofork", "--print-address=3"},
                            "/dev/null");
}

// Makes a new xclip own the clipboard with `text`; it notes the requests it serves in `log`.
inline bool CopyWithXclip(CChild& xclip, const std::string& display, const std::string& text,
                          const std::string& log) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    const bool started = xclip.Start({"xclip", "-selection", "clipboard", "-verbose"},
                                     Environment({"DISPLAY=" + display}), fds[0], log);
    close(fds[0]);
    std::size_t written = 0;
    while (started && written < text.size()) {
        const ssize_t n = write(fds[1], text.data() + written, text.size() - written);
        if (n <= 0 && errno != EINTR) {
            break;
        }
        written += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    close(fds[1]);
    return started && written == text.size();
}

// Starts a headless sway whose runtime folder is `dir` (made private to it), with XWayland when
// `xwayland`. sway refuses to run as root: a test run by root runs it as the user nobody. The
// path of its Wayland socket, or empty (why in `log`).
inline std::string StartHeadlessSway(CChild& sway, const std::string& dir, bool xwayland,
                                     const std::string& log) {
    std::ofstream(dir + "/config") << (xwayland ? "xwayland enable\n" : "xwayland disable\n");
    std::vector<std::string> argv = {"sway", "-c", dir + "/config"};
    if (geteuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (nobody == nullptr || chown(dir.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
            return {};
        }
        argv.insert(argv.begin(), {"setpriv", "--reuid=" + std::to_string(nobody->pw_uid),
                                   "--regid=" + std::to_string(nobody->pw_gid), "--clear-groups"});
    }
    chmod(dir.c_str(), 0700);
    chmod((dir + "/config").c_str(), 0644);
    if (!sway.Start(argv,
                    Environment({"XDG_RUNTIME_DIR=" + dir, "HOME=" + dir, "WLR_BACKENDS=headless",
                                 "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman",
                                 "WAYLAND_DISPLAY", "DISPLAY"}),
                    -1, log)) {
        return {};
    }
    const std::string socket = dir + "/wayland-1";
    struct stat st {};
    for (int waited = 0; waited < 15000 && sway.Running(); waited += 50) {
        if (stat(socket.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) {
            return socket;
        }
        SleepMs(50);
    }
    return {};
}

} // namespace xsession
