#include "ResumeEntries.h"
#include "app/MonitorApp.h"
#include "platform/registry/Registry.h"
#include "support/PrivateEnvTest.h"

#include <cstdlib>

using namespace resume_test;

namespace {

class ResumeCommandTest : public PrivateEnvTest {
protected:
    int Ctl(const std::string& args, std::string* out = nullptr) {
        RegCloseStores(); // let the companion see a settled file
        return RunCommand(BuiltCompanion() + " resume " + args + " 2>/dev/null", out);
    }
};

TEST_F(ResumeCommandTest, ListShowsWhatResumingWouldStartAndWhyOthersAreRefused) {
    {
        CRegKey key;
        ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, MonitorNames::SettingsKey), ERROR_SUCCESS);
        RegSetValueExA(key.Get(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>("/opt/a\"b"), 9);
    }
    WriteEntry(3, 1);
    WriteEntry(4, 0);
    WriteEntry("5", Entry{2, 799, Record(1, 799)});
    WriteEntry("x\n\xff", Entry{}); // a name that breaks lines and is not UTF-8
    std::string out;
    ASSERT_EQ(Ctl("list --json", &out), 0);
    EXPECT_EQ(out,
              "[{\"subkey\":\"3\",\"id\":3,\"version\":2,\"readable\":true,\"reason\":null,"
              "\"kind\":\"download\",\"helper\":\"/opt/a\\\"b/KettrinDL.exe\",\"argument\":"
              "\"fdb://3\"},"
              "{\"subkey\":\"4\",\"id\":4,\"version\":2,\"readable\":true,\"reason\":null,"
              "\"kind\":\"upload\",\"helper\":\"/opt/a\\\"b/KettrinUL.exe\",\"argument\":"
              "\"fdb://4\"},"
              "{\"subkey\":\"5\",\"id\":5,\"version\":2,\"readable\":false,\"reason\":"
              "\"DataSize is 799, not 800\",\"kind\":null,\"helper\":null,\"argument\":null},"
              "{\"subkey\":\"x\\u000a\\ufffd\",\"id\":null,\"version\":null,\"readable\":false,"
              "\"reason\":\"its name is not an entry id\",\"kind\":null,\"helper\":null,"
              "\"argument\":null}]\n");
    ASSERT_EQ(Ctl("list", &out), 0);
    EXPECT_NE(out.find("4\tversion 2\tupload\t/opt/a\"b/KettrinUL.exe fdb://4\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("5\tversion 2\tnot readable: DataSize is 799, not 800\n"),
              std::string::npos);
    EXPECT_NE(out.find("x?\xff\t-\tnot readable: its name is not an entry id\n"),
              std::string::npos);
    EXPECT_EQ(EntryNames().size(), 4u); // listing changes nothing
}

TEST_F(ResumeCommandTest, ForgetOneByTheNameListShowsOrAll) {
    WriteEntry(3, 1);
    WriteEntry(4, 0);
    WriteEntry("x", Entry{});
    WriteEntry("0", Entry{});
    EXPECT_EQ(Ctl("forget 3"), 0);
    EXPECT_EQ(EntryNames(), (std::vector<std::string>{"0", "4", "x"}));
    EXPECT_EQ(Ctl("forget 3"), 1);
    EXPECT_EQ(Ctl("forget 03"), 1);
    EXPECT_EQ(Ctl("forget ''"), 2);
    EXPECT_EQ(Ctl("forget 'x\\..'"), 2);
    EXPECT_EQ(Ctl("forget"), 2);
    // Names that are no id are forgotten by name too.
    EXPECT_EQ(Ctl("forget 0"), 0);
    EXPECT_EQ(EntryNames(), (std::vector<std::string>{"4", "x"}));
    EXPECT_EQ(Ctl("forget --all"), 0);
    EXPECT_EQ(EntryNames(), std::vector<std::string>{"x"});
    EXPECT_EQ(Ctl("forget x"), 0);
    EXPECT_TRUE(EntryNames().empty());
}

} // namespace
