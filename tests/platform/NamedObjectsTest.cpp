// Named events and mutexes on every system: our own objects here, the kernel's on Windows.
#include "platform/NamedObjects.h"
#include "support/PrivateEnvTest.h"
#include "support/Process.h"

#include <memory>

namespace {

bool Exists(const char* name) {
    CHandle h(OpenEventA(EVENT_ALL_ACCESS, FALSE, name));
    return static_cast<bool>(h);
}

class NamedObjectsTest : public PrivateEnvTest {
protected:
    // Starts the stand-in program, which creates the event `name` and holds it until Release();
    // "first" or "existed", as its creation said.
    std::string Hold(const char* name) {
        const std::string record = m_env.Root() + "/holder-" + std::to_string(m_holders.size());
        SetEnv("QPM_RECORD", record.c_str());
        SetEnv("QPM_RECORD_HOLD", name);
        SetEnv("QPM_RECORD_UNTIL", (m_env.Root() + "/release").c_str());
        m_holders.push_back(std::make_unique<RunningProgram>(std::vector{BuiltRecorder()}));
        for (const char* variable : {"QPM_RECORD", "QPM_RECORD_HOLD", "QPM_RECORD_UNTIL"}) {
            SetEnv(variable, nullptr);
        }
        std::string text;
        WaitFor([&] { return !(text = ReadFileText(record)).empty(); }, 10000);
        return text.substr(0, text.find('\n'));
    }
    void Release() {
        m_env.WriteFile("release", "");
        for (const auto& holder : m_holders) {
            EXPECT_EQ(holder->Wait(), 0);
        }
        m_holders.clear();
    }

    std::vector<std::unique_ptr<RunningProgram>> m_holders;
};

TEST_F(NamedObjectsTest, AnObjectExistsExactlyWhileSomeHandleHoldsIt) {
    EXPECT_FALSE(Exists("Inst"));
    CHandle first(CreateEventA(nullptr, FALSE, FALSE, "Inst"));
    ASSERT_TRUE(first);
    EXPECT_EQ(GetLastError(), 0u);
    CHandle second(CreateEventA(nullptr, FALSE, FALSE, "Inst"));
    ASSERT_TRUE(second);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    first.Close();
    EXPECT_TRUE(Exists("Inst"));
    second.Close();
    EXPECT_FALSE(Exists("Inst"));

    CHandle fresh(CreateEventA(nullptr, FALSE, FALSE, "Inst"));
    EXPECT_EQ(GetLastError(), 0u);
}

TEST_F(NamedObjectsTest, ProbingNeverCreates) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(Exists("Probed"));
    }
    CHandle made(CreateEventA(nullptr, FALSE, FALSE, "Probed"));
    EXPECT_EQ(GetLastError(), 0u);
    // A probe's own handle is released with it.
    EXPECT_TRUE(Exists("Probed"));
    made.Close();
    EXPECT_FALSE(Exists("Probed"));
}

TEST_F(NamedObjectsTest, EventsAndMutexesShareOneNamespace) {
    CHandle mutex(CreateMutexA(nullptr, FALSE, "Shared"));
    ASSERT_TRUE(mutex);
    EXPECT_EQ(GetLastError(), 0u);
    CHandle again(CreateMutexA(nullptr, FALSE, "Shared"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CHandle(CreateEventA(nullptr, FALSE, FALSE, "Shared")));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE_OBJECT);
    EXPECT_FALSE(CHandle(OpenEventA(EVENT_ALL_ACCESS, FALSE, "Shared")));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE_OBJECT);
    mutex.Close();
    again.Close();
    CHandle event(CreateEventA(nullptr, FALSE, FALSE, "Shared"));
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_FALSE(CHandle(CreateMutexA(nullptr, FALSE, "Shared")));
}

TEST_F(NamedObjectsTest, EventsAreSeenAcrossProcesses) {
    EXPECT_EQ(Hold("Client"), "first");
    EXPECT_TRUE(Exists("Client"));
    CHandle mine(CreateEventA(nullptr, FALSE, FALSE, "Client"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(Hold("Client"), "existed");
    mine.Close();
    Release();
    EXPECT_FALSE(Exists("Client"));
}

TEST_F(NamedObjectsTest, AHolderThatIsKilledLeavesNothing) {
    ASSERT_EQ(Hold("Killed"), "first");
    EXPECT_TRUE(Exists("Killed"));
    m_holders.front()->Kill();
    EXPECT_FALSE(Exists("Killed"));
    CHandle again(CreateEventA(nullptr, FALSE, FALSE, "Killed"));
    ASSERT_TRUE(again);
    EXPECT_EQ(GetLastError(), 0u);
}

TEST_F(NamedObjectsTest, AnyNameIsItsOwnObject) {
    const std::vector<std::string> names = {
        "plain",
        "Plain",
        "with space",
        "a/b",
        "..",
        ".",
        "%41",
        "A",
        // On Windows "Global\\" and "Local\\" name namespaces and other backslashes are
        // refused; none of our names has one, so that is not copied.
        "Global\\Name",
        "caf\xc3\xa9",
        "\x01\xff",
        "-",
        "_",
        std::string(259, 'n'),
        std::string(258, 'n') + "x",
        std::string(250, '/'),
    };
    std::vector<CHandle> handles;
    for (const auto& name : names) {
        handles.emplace_back(CreateEventA(nullptr, FALSE, FALSE, name.c_str()));
        ASSERT_TRUE(handles.back()) << name;
        EXPECT_EQ(GetLastError(), 0u) << "'" << name << "' collided with an earlier name";
    }
    for (const auto& name : names) {
        EXPECT_TRUE(Exists(name.c_str())) << name;
    }
    handles.clear();
    for (const auto& name : names) {
        EXPECT_FALSE(Exists(name.c_str())) << name;
    }
    // MAX_PATH characters are too many.
    for (const std::string& name : {std::string(260, 'n'), std::string(300, 'n')}) {
        EXPECT_FALSE(CHandle(CreateEventA(nullptr, FALSE, FALSE, name.c_str())));
        EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
        EXPECT_FALSE(Exists(name.c_str()));
        EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
    }
    // No name: an object of its own each time, which nobody can open.
    CHandle unnamed(CreateEventA(nullptr, FALSE, FALSE, ""));
    ASSERT_TRUE(unnamed);
    CHandle another(CreateEventA(nullptr, FALSE, FALSE, ""));
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_FALSE(Exists(""));
}

} // namespace
