// What the URL monitor benchmarks add to the X session helpers: private folders and the
// 5 MB text.
#pragma once

#include "urlmon/XSession.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace bench {

using namespace xsession;

// HOME, XDG folders and the registry files in a fresh temporary folder, so that nothing
// measured here reaches the user's own store. Removed at the end.
class CPrivateFolders {
public:
    CPrivateFolders() {
        char pattern[] = "/tmp/qpm-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        m_root = pattern;
        mkdir((m_root + "/config").c_str(), 0700);
        mkdir((m_root + "/runtime").c_str(), 0700);
        setenv("HOME", m_root.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_root + "/config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (m_root + "/runtime").c_str(), 1);
        setenv("QUORVEL_REGISTRY_MACHINE", (m_root + "/machine.db").c_str(), 1);
        unsetenv("QUORVEL_REGISTRY_USER");
    }
    ~CPrivateFolders() {
        const std::string command = "rm -rf '" + m_root + "'";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "could not remove %s\n", m_root.c_str());
        }
    }
    CPrivateFolders(const CPrivateFolders&) = delete;
    CPrivateFolders& operator=(const CPrivateFolders&) = delete;
    const std::string& Root() const { return m_root; }

private:
    std::string m_root;
};

// Five megabytes of text whose first word is an FTP URL, in lines like a copied listing.
inline std::string FiveMegabyteText() {
    std::string text = "ftp://host/dir/file.zip\r\n";
    while (text.size() < 5 * 1024 * 1024) {
        text += "-rw-r--r--   1 user group  123456 Dec  7 04:00 some file name.txt\r\n";
    }
    text.resize(5 * 1024 * 1024);
    return text;
}

} // namespace bench
