#include "app/MonitorApp.h"
#include "platform/registry/Registry.h"
#include "support/Fakes.h"
#include "support/PrivateEnvTest.h"

namespace {

void SetMachinePath(const std::string& bytes, DWORD type = REG_SZ) {
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, MonitorNames::SettingsKey), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.Get(), "Path", 0, type,
                             reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}

class MonitorAppTest : public PrivateEnvTest {
protected:
    CFakeDesktop desktop;
    CFakeClipboard clipboard;
    CFakeShell shell;
};

TEST_F(MonitorAppTest, StartUpCentresHidesAndStartsBothTimersWithoutLogLines) {
    SetUrlMonitorSwitch(1);
    CMonitorApp app(desktop, clipboard, shell);
    ASSERT_TRUE(app.InitInstance(""));
    EXPECT_EQ(desktop.rect.left, (1920 - 450) / 2);
    EXPECT_EQ(desktop.rect.top, (1080 - 300) / 2);
    EXPECT_EQ(desktop.rect.Width(), 450);
    EXPECT_EQ(desktop.rect.Height(), 300);
    EXPECT_EQ(desktop.frame.shows, std::vector<int>{SW_HIDE});
    EXPECT_EQ(desktop.frame.commands, std::vector<UINT>{Command::Hide});
    EXPECT_EQ(desktop.frame.window.timers.at(TimerId::UrlMonitor), 500u);
    EXPECT_EQ(desktop.frame.window.timers.at(TimerId::Scheduler), 60000u);
    EXPECT_TRUE(app.m_urlMonitor.IsEnabled());
    EXPECT_TRUE(app.m_scheduler.IsEnabled());
    EXPECT_TRUE(desktop.frame.log.lines.empty());
    EXPECT_EQ(app.GetProfileRoot(), "Software\\Marrowfen\\QUORVEL PRO");
    app.ExitInstance();
}

TEST_F(MonitorAppTest, OddScreenSizesTruncateTowardZero) {
    desktop.screenWidth = 451;
    desktop.screenHeight = 100;
    CMonitorApp app(desktop, clipboard, shell);
    ASSERT_TRUE(app.InitInstance(""));
    EXPECT_EQ(desktop.rect.left, 0);
    EXPECT_EQ(desktop.rect.top, -100);
    app.ExitInstance();
}

TEST_F(MonitorAppTest, SecondInstanceEndsSilentlyAndLeavesTheFirstRunning) {
    CMonitorApp first(desktop, clipboard, shell);
    ASSERT_TRUE(first.InitInstance(""));
    CFakeDesktop otherDesktop;
    {
        CMonitorApp second(otherDesktop, clipboard, shell);
        EXPECT_FALSE(second.InitInstance(""));
        EXPECT_FALSE(second.m_hInstanceEvent);
        EXPECT_EQ(second.m_pMainWnd, nullptr);
        second.ExitInstance();
        CMonitorApp atLogon(otherDesktop, clipboard, shell);
        EXPECT_FALSE(atLogon.InitInstance("wstart"));
        atLogon.ExitInstance();
    }
    EXPECT_EQ(otherDesktop.openRequests, 1) << "only the start without wstart asks";
    EXPECT_EQ(desktop.openRequests, 0);
    EXPECT_TRUE(CMonitorApp::NamedEventExists(MonitorNames::InstanceEvent));
    first.ExitInstance();
    EXPECT_FALSE(CMonitorApp::NamedEventExists(MonitorNames::InstanceEvent));
}

TEST_F(MonitorAppTest, WStartAnywhereCaseSensitiveHonoursTheSwitch) {
    {
        CWinApp prefs;
        UseMonitorProfile(prefs);
        prefs.WriteProfileInt(MonitorNames::PreferencesSection, "MonitorWStart", 0);
    }
    for (const char* line : {"wstart", "/wstart", "-wstart", "xwstartx", "a b wstart"}) {
        CMonitorApp app(desktop, clipboard, shell);
        EXPECT_FALSE(app.InitInstance(line)) << line;
        app.ExitInstance();
        EXPECT_FALSE(CMonitorApp::NamedEventExists(MonitorNames::InstanceEvent)) << line;
    }
    for (const char* line : {"", "/WSTART", "w start"}) {
        CMonitorApp app(desktop, clipboard, shell);
        EXPECT_TRUE(app.InitInstance(line)) << line;
        app.ExitInstance();
    }
}

TEST_F(MonitorAppTest, WStartRunsWhenTheSwitchIsAbsentOrOn) {
    CMonitorApp app(desktop, clipboard, shell);
    EXPECT_TRUE(app.InitInstance("wstart"));
    app.ExitInstance();
}

TEST_F(MonitorAppTest, ClientFolderAlwaysEndsInOneSeparator) {
    struct Case {
        std::string stored;
        std::string folder;
    };
    const std::vector<Case> cases = {
        {"/opt/client", "/opt/client/"},
        {"/opt/client/", "/opt/client/"},
        {std::string("/opt/x\0junk", 11), "/opt/x/"},
        {"", "/"},
    };
    for (const auto& c : cases) {
        SetMachinePath(c.stored);
        CMonitorApp app(desktop, clipboard, shell);
        ASSERT_TRUE(app.InitInstance(""));
        EXPECT_EQ(app.m_strClientFolder, c.folder);
        app.ExitInstance();
    }
}

TEST_F(MonitorAppTest, AbsentPathGivesTheRootFolder) {
    CMonitorApp app(desktop, clipboard, shell);
    ASSERT_TRUE(app.InitInstance(""));
    EXPECT_EQ(app.m_strClientFolder, "/");
    app.ExitInstance();
}

TEST_F(MonitorAppTest, PathTooLongForTheBufferCountsAsUnreadable) {
    const std::string fits(1023, 'a');
    SetMachinePath("/" + fits.substr(1) + std::string(1, '\0')); // 1,024 bytes with its NUL
    std::string out;
    CMonitorApp::ReadRegistryString(HKEY_LOCAL_MACHINE, MonitorNames::SettingsKey, "Path", out);
    EXPECT_EQ(out.size(), 1023u);

    SetMachinePath(std::string(1024, 'b')); // exactly the buffer, no terminator
    CMonitorApp::ReadRegistryString(HKEY_LOCAL_MACHINE, MonitorNames::SettingsKey, "Path", out);
    EXPECT_EQ(out.size(), 1024u);

    SetMachinePath(std::string(5000, 'c'));
    CMonitorApp::ReadRegistryString(HKEY_LOCAL_MACHINE, MonitorNames::SettingsKey, "Path", out);
    EXPECT_EQ(out, "");
}

TEST_F(MonitorAppTest, PathOfAnotherTypeIsTakenAsBytes) {
    SetMachinePath("/opt/bin", REG_BINARY);
    std::string out;
    CMonitorApp::ReadRegistryString(HKEY_LOCAL_MACHINE, MonitorNames::SettingsKey, "Path", out);
    EXPECT_EQ(out, "/opt/bin");
}

TEST_F(MonitorAppTest, LaunchClientStartsTheClientUnlessItsEventExists) {
    SetMachinePath("/opt/client");
    CMonitorApp app(desktop, clipboard, shell);
    ASSERT_TRUE(app.InitInstance(""));
    EXPECT_EQ(app.LaunchClient(nullptr), ClientLaunch::Started);
    app.LaunchClient("\"ftq://a b\"");
    ASSERT_EQ(shell.starts.size(), 2u);
    EXPECT_EQ(shell.starts[0].file, "/opt/client/Quorvel PRO.exe");
    EXPECT_FALSE(shell.starts[0].hadParameters);
    EXPECT_EQ(shell.starts[1].parameters, "\"ftq://a b\"");

    CHandle client(CreateEventA(nullptr, FALSE, FALSE, MonitorNames::ClientEvent));
    EXPECT_TRUE(app.IsClientRunning());
    EXPECT_EQ(app.LaunchClient(nullptr), ClientLaunch::AlreadyRunning);
    EXPECT_EQ(shell.starts.size(), 2u);
    client.Close();
    EXPECT_FALSE(app.IsClientRunning());
    // The folder is read for every start: set or changed while the Monitor runs, or not set.
    SetMachinePath("/opt/moved");
    EXPECT_EQ(app.LaunchClient(nullptr), ClientLaunch::Started);
    EXPECT_EQ(shell.starts.back().file, "/opt/moved/Quorvel PRO.exe");
    SetMachinePath("");
    std::string error;
    EXPECT_EQ(app.LaunchClient(nullptr, &error), ClientLaunch::Failed);
    EXPECT_EQ(shell.starts.size(), 3u);
    EXPECT_NE(error.find("the client's folder is not set"), std::string::npos) << error;
    EXPECT_NE(error.find("quorvel-monitorctl import"), std::string::npos) << error;
    app.ExitInstance();
}

TEST_F(MonitorAppTest, NoMainWindowEndsStartUp) {
    desktop.failCreate = true;
    CMonitorApp app(desktop, clipboard, shell);
    EXPECT_FALSE(app.InitInstance(""));
    app.ExitInstance();
}

} // namespace
