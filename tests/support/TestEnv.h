// A private world for one test or benchmark: HOME, XDG folders, registry files and named objects
// in a fresh temporary folder, and fresh registry connections. Removed afterwards, with the
// previous environment restored.
#pragma once

#include <string>
#include <vector>

class TestEnv {
public:
    TestEnv();
    ~TestEnv();
    TestEnv(const TestEnv&) = delete;
    TestEnv& operator=(const TestEnv&) = delete;

    const std::string& Root() const { return m_root; }
    // Points this process (HOME, XDG folders, registry files) at this world again.
    void Activate() const;
    std::string UserStore() const { return m_root + "/config/quorvel-registry/user.db"; }
    std::string MachineStore() const { return m_root + "/machine.db"; }
    // The name under which programs this test starts reach the root key `root`
    // ("HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE") of this world: the root itself, or on
    // Windows, where only this process's roots are redirected, the key that stands for it.
    std::string RootForPrograms(const std::string& root) const;
    // Writes an executable shell script and returns its path.
    std::string WriteScript(const std::string& name, const std::string& body) const;
    std::string WriteFile(const std::string& name, const std::string& content) const;

private:
    std::string m_root;
    std::vector<std::pair<std::string, std::string>> m_savedEnv;
};

// For one scope every write of this process to a file fails, as on a full disk; reads go on.
class ScopedWriteRefusal {
public:
    ScopedWriteRefusal();
    ~ScopedWriteRefusal();
    ScopedWriteRefusal(const ScopedWriteRefusal&) = delete;
    ScopedWriteRefusal& operator=(const ScopedWriteRefusal&) = delete;

private:
    unsigned long long m_soft = 0;
    void (*m_handler)(int) = nullptr;
};

// The built programs: $QPM_MONITOR / $QPM_CTL, or those of the build tree this program was
// built in; and the tests' stand-in program (tests/support/Recorder.cpp).
std::string BuiltMonitor();
std::string BuiltCompanion();
std::string BuiltRecorder();
// A path of the build tree as this system names it (under Wine, on drive Z:).
std::string SystemPath(const std::string& path);

// Reads a whole file; empty when it does not exist.
std::string ReadFileText(const std::string& path);
// Runs a command line through /bin/sh, returns its exit status and standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);
// Polls `condition` every 20 ms for up to `timeoutMs`.
template <typename Condition> bool WaitFor(Condition condition, int timeoutMs = 5000);
void SleepMs(int ms);
// Sets an environment variable of this process; null unsets it.
void SetEnv(const char* name, const char* value);
// Makes `zone` (a TZ value; null for the system's) the zone of local times in this process.
// False when this system's C runtime cannot take it.
bool SetTimeZone(const char* zone);

template <typename Condition> bool WaitFor(Condition condition, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
        if (condition()) {
            return true;
        }
        SleepMs(20);
    }
    return condition();
}
