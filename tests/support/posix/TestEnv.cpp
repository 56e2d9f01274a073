#include "support/TestEnv.h"

#include "platform/registry/Registry.h"

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
const char* const kVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR",
                                  "QUORVEL_REGISTRY_USER", "QUORVEL_REGISTRY_MACHINE"};
}

TestEnv::TestEnv() {
    std::string base = std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "/tmp";
    std::string pattern = base + "/qpm-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    m_root = pattern;
    mkdir((m_root + "/config").c_str(), 0700);
    mkdir((m_root + "/runtime").c_str(), 0700);
    for (const char* name : kVariables) {
        const char* value = std::getenv(name);
        m_savedEnv.emplace_back(name, value != nullptr ? value : std::string("\x01"));
    }
    Activate();
}

void TestEnv::Activate() const {
    setenv("HOME", m_root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (m_root + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (m_root + "/runtime").c_str(), 1);
    unsetenv("QUORVEL_REGISTRY_USER");
    setenv("QUORVEL_REGISTRY_MACHINE", MachineStore().c_str(), 1);
    RegCloseStores();
}

TestEnv::~TestEnv() {
    RegCloseStores();
    for (const auto& [name, value] : m_savedEnv) {
        if (value == "\x01") {
            unsetenv(name.c_str());
        } else {
            setenv(name.c_str(), value.c_str(), 1);
        }
    }
    RunCommand("chmod -R u+rwx '" + m_root + "' 2>/dev/null; rm -rf '" + m_root + "'");
}

std::string TestEnv::WriteScript(const std::string& name, const std::string& body) const {
    const std::string path = WriteFile(name, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
    return path;
}

std::string TestEnv::RootForPrograms(const std::string& root) const {
    return root;
}

std::string SystemPath(const std::string& path) {
    return path;
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    std::array<char, 4096> buffer{};
    std::string text;
    size_t got;
    while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        text.append(buffer.data(), got);
    }
    const int status = pclose(pipe);
    if (output != nullptr) {
        *output = text;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void SleepMs(int ms) {
    usleep(static_cast<useconds_t>(ms) * 1000);
}

void SetEnv(const char* name, const char* value) {
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
}

bool SetTimeZone(const char* zone) {
    SetEnv("TZ", zone);
    tzset();
    return true;
}

ScopedWriteRefusal::ScopedWriteRefusal() {
    // A write past the size limit fails with EFBIG; the signal that comes with it is ignored.
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_soft = limit.rlim_cur;
    limit.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &limit);
}

ScopedWriteRefusal::~ScopedWriteRefusal() {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(m_soft);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, m_handler);
}
