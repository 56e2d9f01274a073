#include "support/TestEnv.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

std::string TestEnv::WriteFile(const std::string& name, const std::string& content) const {
    const std::string path = m_root + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

namespace {
std::string FromEnvironment(const char* name, const char* builtPath) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string(value) : SystemPath(builtPath);
}
} // namespace

std::string BuiltMonitor() {
    return FromEnvironment("QPM_MONITOR", QPM_MONITOR_PATH);
}

std::string BuiltCompanion() {
    return FromEnvironment("QPM_CTL", QPM_CTL_PATH);
}

std::string BuiltRecorder() {
    return SystemPath(QPM_RECORDER_PATH);
}
