#include "BenchEnv.h"

#include <QApplication>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

std::string UsePrivateFolders() {
    std::string pattern = "/tmp/qpm-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    mkdir((pattern + "/config").c_str(), 0700);
    mkdir((pattern + "/runtime").c_str(), 0700);
    setenv("HOME", pattern.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (pattern + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (pattern + "/runtime").c_str(), 1);
    unsetenv("QUORVEL_REGISTRY_USER");
    setenv("QUORVEL_REGISTRY_MACHINE", (pattern + "/machine.db").c_str(), 1);
    return pattern;
}

double ResidentMB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
        }
    }
    return -1;
}

void EnsureBenchApplication() {
    if (QApplication::instance() != nullptr) {
        return;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    static int argc = 1;
    static char name[] = "bench_shell";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}
