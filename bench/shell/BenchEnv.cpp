#include "BenchEnv.h"

#include "support/TestEnv.h"

#include <QApplication>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

std::string UsePrivateFolders() {
    static TestEnv folders;
    return folders.Root();
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
