// A private world on Windows: a fresh temporary folder, and HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE of this process pointed at empty keys of their own for the test's lifetime.
// Programs the test starts see the real roots.
#include "support/TestEnv.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

namespace {

const char* const kTestKeys = "Software\\QuorvelTests";

std::string UniqueName() {
    static int counter = 0;
    return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
}

std::string g_keys; // below the real HKEY_CURRENT_USER
HKEY g_user = nullptr;
HKEY g_machine = nullptr;

HKEY MakeKey(const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        std::abort();
    }
    return key;
}

} // namespace

TestEnv::TestEnv() {
    const std::string name = UniqueName();
    std::error_code ec;
    m_root = (std::filesystem::temp_directory_path(ec) / ("qpm-test-" + name)).string();
    std::filesystem::create_directories(m_root + "/config", ec);
    std::filesystem::create_directories(m_root + "/runtime", ec);
    // The override points the predefined handles elsewhere; the keys themselves live below the
    // real HKEY_CURRENT_USER and go with the test.
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    g_keys = std::string(kTestKeys) + "\\" + name;
    g_user = MakeKey(g_keys + "\\user");
    g_machine = MakeKey(g_keys + "\\machine");
    Activate();
}

void TestEnv::Activate() const {
    RegOverridePredefKey(HKEY_CURRENT_USER, g_user);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, g_machine);
}

TestEnv::~TestEnv() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(g_user);
    RegCloseKey(g_machine);
    g_user = g_machine = nullptr;
    RegDeleteTreeA(HKEY_CURRENT_USER, g_keys.c_str());
    std::error_code ec;
    std::filesystem::remove_all(m_root, ec);
}

std::string TestEnv::WriteScript(const std::string& name, const std::string& body) const {
    return WriteFile(name, body);
}

std::string TestEnv::RootForPrograms(const std::string& root) const {
    return "HKEY_CURRENT_USER\\" + g_keys +
           (root == "HKEY_LOCAL_MACHINE" || root == "HKLM" ? "\\machine" : "\\user");
}

std::string SystemPath(const std::string& path) {
    if (path.empty() || path[0] != '/') {
        return path;
    }
    std::string windows = "Z:" + path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = _popen(command.c_str(), "rb");
    if (pipe == nullptr) {
        return -1;
    }
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        text.append(buffer, got);
    }
    const int status = _pclose(pipe);
    if (output != nullptr) {
        *output = text;
    }
    return status;
}

void SleepMs(int ms) {
    Sleep(static_cast<DWORD>(ms));
}

void SetEnv(const char* name, const char* value) {
    _putenv_s(name, value != nullptr ? value : "");
}

bool SetTimeZone(const char* zone) {
    // The C runtime reads TZ as a name and an offset and gives it the United States' daylight
    // rules. A zone of the zone database ("Europe/Berlin") it can take only as the system's
    // zone, which Wine takes from the host's TZ when the program starts: $QPM_SYSTEM_ZONE says
    // which zone that was (see tests/wine/run.sh).
    if (zone != nullptr && std::strchr(zone, '/') != nullptr) {
        const char* system = std::getenv("QPM_SYSTEM_ZONE");
        if (system == nullptr || std::strcmp(system, zone) != 0) {
            return false;
        }
        zone = nullptr;
    }
    SetEnv("TZ", zone);
    _tzset();
    return true;
}
