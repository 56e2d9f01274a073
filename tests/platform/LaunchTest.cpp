// The launcher on every system: the program gets the arguments the Windows command-line rules
// give, whichever side splits them (our launcher here, the program's C runtime on Windows).
#include "platform/Launch.h"
#include "platform/SystemText.h"
#include "support/PrivateEnvTest.h"

#include <filesystem>

namespace {

using Args = std::vector<std::string>;

class LaunchTest : public PrivateEnvTest {
protected:
    ~LaunchTest() override { SetEnv("QPM_RECORD", nullptr); }

    // What the stand-in program recorded when started with `parameters`. Each start records
    // into a file of its own: under Wine a file just removed was seen to exist, unreadable.
    std::string Launched(const char* parameters, const std::string& program = BuiltRecorder()) {
        const std::string record = m_env.Root() + "/record-" + std::to_string(++m_launches);
        SetEnv("QPM_RECORD", record.c_str());
        std::string error;
        if (!SystemShell().Open(program, parameters, &error)) {
            return "not started: " + error;
        }
        std::string text;
        WaitFor([&] { return !(text = ReadFileText(record)).empty(); }, 10000);
        return text;
    }
    // The record of a program started in our folder with `args`.
    static std::string Record(const Args& args) {
        std::string record = "cwd=" + Utf8Path(std::filesystem::current_path()) + "\n";
        for (const auto& arg : args) {
            record += "[" + arg + "]\n";
        }
        return record;
    }

    int m_launches = 0;
};

TEST_F(LaunchTest, TheProgramGetsTheArgumentsTheWindowsRulesGive) {
    struct Case {
        const char* line;
        Args args;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"   \t ", {}},
        {"a b\tc", {"a", "b", "c"}},
        {"  lead  trail  ", {"lead", "trail"}},
        {"\"ftq://a b\"", {"ftq://a b"}},
        {"fdb://12", {"fdb://12"}},
        {"a\"b c\"d e", {"ab cd", "e"}},
        {"\"\"", {""}},
        {"a \"\" b", {"a", "", "b"}},
        // Backslashes are literal unless they come before a quote.
        {"C:\\Apps\\Client\\", {"C:\\Apps\\Client\\"}},
        {"a\\\\b", {"a\\\\b"}},
        // 2n backslashes before a quote: n backslashes, and the quote acts.
        {"\"a\\\\\" b", {"a\\", "b"}},
        // 2n+1 backslashes before a quote: n backslashes and a literal quote.
        {"\\\"a", {"\"a"}},
        {"a\\\\\\\"b", {"a\\\"b"}},
        {"\"x \\\" y\"", {"x \" y"}},
        // A doubled quote inside a quoted run is a literal quote.
        {"\"a\"\"b\"", {"a\"b"}},
        // An unclosed quote runs to the end.
        {"\"open quote", {"open quote"}},
        {"a \"b c", {"a", "b c"}},
        {"\"", {""}},
        {"\\", {"\\"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitCommandLine(c.line), c.args) << "[" << c.line << "]";
        EXPECT_EQ(Launched(c.line), Record(c.args)) << "[" << c.line << "]";
    }
    EXPECT_EQ(Launched(nullptr), Record({}));
}

TEST_F(LaunchTest, QuotingGivesBackEveryArgument) {
    const Args args = {"plain",         "",     "two words",   "tab\there",
                       "quote\"inside", "\\",   "ends\\",      "C:\\a b\\",
                       "\\\"",          "\"\"", "caf\xc3\xa9", "\xE6\x97\xA5"};
    std::string line;
    for (const auto& arg : args) {
        line += QuoteArgument(arg) + " ";
    }
    EXPECT_EQ(SplitCommandLine(line), args) << line;
    EXPECT_EQ(Launched(line.c_str()), Record(args)) << line;

    // A client in a folder named in any script starts and gets its arguments whole.
    const std::string folder = m_env.Root() + "/Quorvel \xC3\xBC \xE6\x97\xA5\xE6\x9C\xAC";
    const std::string client = folder + "/Quorvel PRO.exe";
    std::filesystem::create_directories(NativePath(folder));
    std::filesystem::copy_file(NativePath(BuiltRecorder()), NativePath(client));
    const std::string unicode = "\xD0\x9F\xD1\x80\xD0\xB8 \xF0\x9F\x98\x80";
    Args all = {unicode};
    all.insert(all.end(), args.begin(), args.end());
    EXPECT_EQ(Launched(("\"" + unicode + "\" " + line).c_str(), client), Record(all));
}

TEST_F(LaunchTest, AProgramThatCannotBeStartedIsReportedByName) {
    for (const std::string& file :
         {m_env.Root() + "/no such program.exe", m_env.WriteFile("not a program.exe", "text")}) {
        std::string error;
        EXPECT_FALSE(SystemShell().Open(file, "x", &error)) << file;
        EXPECT_NE(error.find(file), std::string::npos) << error;
    }
}

} // namespace
