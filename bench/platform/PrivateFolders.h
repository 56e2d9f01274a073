// A private HOME / XDG world for one benchmark program, so that figures are taken on a store of
// their own and never on the user's.
#pragma once

#include "platform/registry/Store.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace bench {

class PrivateFolders {
public:
    PrivateFolders() {
        std::string pattern = "/tmp/qpm-bench-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        m_root = pattern;
        mkdir((m_root + "/config").c_str(), 0700);
        mkdir((m_root + "/runtime").c_str(), 0700);
        setenv("HOME", m_root.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_root + "/config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (m_root + "/runtime").c_str(), 1);
        setenv("QUORVEL_REGISTRY_MACHINE", (m_root + "/machine.db").c_str(), 1);
        unsetenv("QUORVEL_REGISTRY_USER");
        registry::Store::CloseAll();
    }
    ~PrivateFolders() {
        registry::Store::CloseAll();
        const std::string command = "rm -rf '" + m_root + "'";
        (void)!std::system(command.c_str());
    }
    PrivateFolders(const PrivateFolders&) = delete;
    PrivateFolders& operator=(const PrivateFolders&) = delete;
    const std::string& Root() const { return m_root; }

private:
    std::string m_root;
};

} // namespace bench
