// The companion's registry-file, event and open commands on every system: against our store
// here, against the system registry, kernel objects and shell under Wine.
#include "CompanionTest.h"

#include "app/Version.h"
#include "platform/NamedObjects.h"
#include "platform/registry/Registry.h"

namespace {

TEST_F(CompanionTest, HelpIsThereForTheToolAndEverySubcommand) {
    const ProgramResult top = Run({"--help"});
    EXPECT_EQ(top.status, 0);
    for (const char* sub : {"import", "export", "event", "open"}) {
        EXPECT_NE(top.out.find(sub), std::string::npos) << sub;
        const ProgramResult help = Run({sub, "--help"});
        EXPECT_EQ(help.status, 0) << sub;
        EXPECT_EQ(help.out.rfind("usage: quorvel-monitorctl " + std::string(sub), 0), 0u)
            << help.out;
        EXPECT_EQ(help.err, "") << sub;
    }
    const ProgramResult version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "quorvel-monitorctl " + std::string(MonitorVersion::Number) + "\n");
    ExpectRefused(Run({"frobnicate"}), "frobnicate");
    // A missing subcommand: one line pointing to the help.
    ExpectRefused(Run({}), "--help");
    ExpectRefused(Run({"schedule"}), "--help");
    ExpectRefused(Run({"resume"}), "--help");
    ExpectRefused(Run({"event"}), "--help");
    ExpectRefused(Run({"event", "probe", ""}), "empty");
    ExpectRefused(Run({"event", "hold", "", "--", "true"}), "empty");
    // The help states the limits and the name of standard output.
    const std::string importHelp = Run({"import", "--help"}).out;
    for (const char* limit : {"255", "16,383", "512 levels", "256 MiB"}) {
        EXPECT_NE(importHelp.find(limit), std::string::npos) << limit;
    }
    EXPECT_NE(Run({"export", "--help"}).out.find("'-'"), std::string::npos);
    ExpectRefused(Run({"import"}), "import");
    ExpectRefused(Run({"export"}), "export");
    ExpectRefused(Run({"export", "--bogus", "HKCU"}), "--bogus");
    ExpectRefused(Run({"event", "hold", "X"}), "event");
    ExpectRefused(Run({"event", "probe"}), "event");
    ExpectRefused(Run({"open"}), "open");
}

TEST_F(CompanionTest, ImportExportRoundTripThroughFiles) {
    const std::string user = m_env.RootForPrograms("HKEY_CURRENT_USER");
    const std::string machine = m_env.RootForPrograms("HKLM");
    const std::string file = m_env.WriteFile(
        "in.reg", "Windows Registry Editor Version 5.00\r\n\r\n[" + user +
                      "\\Software\\Marrowfen\\QUORVEL PRO\\CurrentVersion\\Preferences]\r\n"
                      "\"MonitorWStart\"=dword:00000000\r\n\r\n[" +
                      machine +
                      "\\Software\\Marrowfen\\QUORVEL PRO\\Settings]\r\n"
                      "\"Path\"=\"/opt/quorvel\"\r\n");
    const ProgramResult imported = Run({"import", file});
    ASSERT_EQ(imported.status, 0) << imported.err;
    // What the tool stored, the Monitor's own registry code reads.
    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, "Software\\Marrowfen\\QUORVEL PRO\\Settings", KEY_READ),
              ERROR_SUCCESS);
    char path[64] = {};
    DWORD size = sizeof path;
    ASSERT_EQ(
        RegQueryValueExA(key.Get(), "Path", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size),
        ERROR_SUCCESS);
    EXPECT_STREQ(path, "/opt/quorvel");

    const std::string out = m_env.Root() + "/out.reg";
    ASSERT_EQ(Run({"export", user + "\\Software", out}).status, 0);
    const std::string exported = ReadFileText(out);
    EXPECT_EQ(exported.rfind("\xFF\xFEW\0i\0n\0", 0), 0u);
    ASSERT_EQ(Run({"import", out}).status, 0);
    ASSERT_EQ(Run({"export", user + "\\Software", out}).status, 0);
    EXPECT_EQ(ReadFileText(out), exported);

    const ProgramResult toStdout = Run({"export", "--utf8", machine + "\\Software\\Marrowfen"});
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_NE(toStdout.out.find("\"Path\"=\"/opt/quorvel\"\r\n"), std::string::npos)
        << toStdout.out;

    const ProgramResult missing = Run({"export", user + "\\Software\\Nothing", out});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find(user + "\\Software\\Nothing"), std::string::npos);
    EXPECT_EQ(ReadFileText(out), exported) << "a failed export touched the file";
}

TEST_F(CompanionTest, ImportRefusesAFileOfMoreThan256MiB) {
    const std::string sparse = m_env.WriteFile("huge.reg", "REGEDIT4\n");
    std::filesystem::resize_file(sparse, (std::uintmax_t{256} << 20) + 1);
    ExpectRefused(Run({"import", sparse}), "256 MiB");
}

TEST_F(CompanionTest, AMalformedFileIsRefusedWholeWithItsLine) {
    const std::string user = m_env.RootForPrograms("HKCU");
    const std::string file =
        m_env.WriteFile("bad.reg", "REGEDIT4\n\n[" + user + "\\Software\\A]\n\"fine\"=\"yes\"\n[" +
                                       user + "\\Software\\B]\n\"broken\"=dword:nothex\n");
    ExpectRefused(Run({"import", file}), "line 6");
    CRegKey a;
    EXPECT_EQ(a.Open(HKEY_CURRENT_USER, "Software\\A", KEY_READ), ERROR_FILE_NOT_FOUND);
    ExpectRefused(Run({"import", m_env.Root() + "/no-such.reg"}), "no-such.reg");
}

TEST_F(CompanionTest, EventHoldRunsTheCommandWhileTheEventExists) {
    EXPECT_EQ(Run({"event", "probe", "QVRLPROInstance"}).status, 1);
    // The command sees the event; the tool exits with the command's status.
    EXPECT_EQ(
        Run({"event", "hold", "QVRLPROInstance", "--", m_ctl, "event", "probe", "QVRLPROInstance"})
            .status,
        0);
    SetEnv("QPM_RECORD_EXIT", "3");
    const int status = Run({"event", "hold", "X", "--", BuiltRecorder()}).status;
    SetEnv("QPM_RECORD_EXIT", nullptr);
    EXPECT_EQ(status, 3);
    EXPECT_FALSE(CHandle(OpenEventA(EVENT_ALL_ACCESS, FALSE, "X")));
    ExpectRefused(Run({"event", "hold", "X", "--", m_env.Root() + "/missing-program"}),
                  "missing-program");
}

TEST_F(CompanionTest, OpenStartsTheProgramWithTheSplitParameters) {
    const std::string record = m_env.Root() + "/record";
    SetEnv("QPM_RECORD", record.c_str());
    const int status = Run({"open", BuiltRecorder(), "\"ftq://a b\" --help x\\\"y"}).status;
    SetEnv("QPM_RECORD", nullptr);
    ASSERT_EQ(status, 0);
    std::string text;
    ASSERT_TRUE(WaitFor([&] { return !(text = ReadFileText(record)).empty(); }));
    EXPECT_NE(text.find("\n[ftq://a b]\n[--help]\n[x\"y]\n"), std::string::npos) << text;

    const ProgramResult missing = Run({"open", m_env.Root() + "/Quorvel PRO.exe"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Quorvel PRO.exe"), std::string::npos);
    ExpectRefused(Run({"open", BuiltRecorder(), "a", "b"}), "open");
}

} // namespace
