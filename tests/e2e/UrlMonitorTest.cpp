// The built Monitor on its own X server: copying an FTP URL starts the client once.
#include "app/MonitorApp.h"
#include "platform/registry/Registry.h"
#include "support/PrivateEnvTest.h"
#include "urlmon/XSession.h"

#include <csignal>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using xsession::CChild;
using xsession::Environment;

int CountLines(const std::string& text) {
    int lines = 0;
    for (char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

class UrlMonitorE2eTest : public PrivateEnvTest {
protected:
    void SetUp() override {
        if (!xsession::Installed("Xvfb")) {
            GTEST_SKIP() << "Xvfb is not installed";
        }
        ASSERT_TRUE(xsession::Installed("xclip")) << "xclip is needed to fill the clipboard";
        StartXvfb();
    }

    void StartXvfb() {
        m_display = xsession::StartXvfb(m_xvfb, m_env.Root() + "/xvfb.log");
        ASSERT_FALSE(m_display.empty()) << ReadFileText(m_env.Root() + "/xvfb.log");
    }

    // Puts the text on the clipboard through a new xclip, which serves it until another
    // program takes the clipboard over; its requests are noted in `log`.
    void Copy(const std::string& text, const std::string& log = "/dev/null") {
        m_xclips.emplace_back(std::make_unique<CChild>());
        ASSERT_TRUE(xsession::CopyWithXclip(*m_xclips.back(), m_display, text, log));
    }

    std::string Starts() const { return ReadFileText(m_env.Root() + "/starts.txt"); }

    // A client that notes its starts, and the URL monitor switched on.
    void PrepareClient() {
        const std::string folder = m_env.Root() + "/client";
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
        m_env.WriteScript("client/Quorvel PRO.exe",
                          "echo \"$# [$*]\" >> '" + m_env.Root() + "/starts.txt'\n");
        CRegKey key;
        ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, MonitorNames::SettingsKey), ERROR_SUCCESS);
        RegSetValueExA(key.Get(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.data()),
                       static_cast<DWORD>(folder.size()));
        CWinApp prefs;
        UseMonitorProfile(prefs);
        ASSERT_TRUE(prefs.WriteProfileInt(MonitorNames::PreferencesSection, "URLMonitor", 1));
    }

    void StartMonitor(CChild& monitor) {
        const std::string program = BuiltMonitor();
        ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
        ASSERT_TRUE(monitor.Start(
            {program},
            Environment({"DISPLAY=" + m_display, "QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY"}), -1,
            m_env.Root() + "/monitor.log"));
    }

    CChild m_xvfb;
    std::string m_display;
    std::vector<std::unique_ptr<CChild>> m_xclips;
};

TEST_F(UrlMonitorE2eTest, CopiedFtpUrlStartsTheClientOnceAndNothingElseDoes) {
    PrepareClient();
    // A URL already there at start is not new. Once the Monitor has asked for it, it has
    // remembered it, and everything copied from then on is new to it.
    const std::string firstLog = m_env.Root() + "/xclip-first.log";
    Copy("ftp://present-at-start/file.zip", firstLog);
    CChild monitor;
    StartMonitor(monitor);
    ASSERT_TRUE(WaitFor(
        [&] { return ReadFileText(firstLog).find("request number 2") != std::string::npos; },
        20000))
        << ReadFileText(m_env.Root() + "/monitor.log");
    SleepMs(1500);
    ASSERT_TRUE(monitor.Running()) << ReadFileText(m_env.Root() + "/monitor.log");
    EXPECT_EQ(Starts(), "");

    Copy("ftp://host/dir/file.zip");
    EXPECT_TRUE(WaitFor([&] { return !Starts().empty(); }, 2000));
    SleepMs(300); // a second start, were there one, would show now
    EXPECT_EQ(Starts(), "0 []\n");

    Copy("ftp://host/dir/file.zip");
    SleepMs(2000);
    EXPECT_EQ(CountLines(Starts()), 1) << "the same text again";

    Copy("http://host/page.html");
    SleepMs(2000);
    EXPECT_EQ(CountLines(Starts()), 1) << "an HTTP URL";

    // Still watching: the silence above was not a dead Monitor.
    Copy("ftp://other/x");
    EXPECT_TRUE(WaitFor([&] { return CountLines(Starts()) == 2; }, 2000));
    EXPECT_TRUE(monitor.Running());

    monitor.End();
    m_xclips.clear();
    m_xvfb.End();
}

TEST_F(UrlMonitorE2eTest, AClipboardOwnerThatDoesNotAnswerHoldsNothingUp) {
    PrepareClient();
    // The owner has taken the clipboard and then stopped: nobody will ever answer for it.
    const std::string stalledLog = m_env.Root() + "/xclip-stalled.log";
    Copy("ftp://stalled/file.zip", stalledLog);
    ASSERT_TRUE(WaitFor([&] {
        return ReadFileText(stalledLog).find("Waiting for selection") != std::string::npos;
    }));
    ASSERT_EQ(kill(m_xclips.back()->Pid(), SIGSTOP), 0);

    CChild monitor;
    StartMonitor(monitor);
    ASSERT_TRUE(
        WaitFor([] { return CMonitorApp::NamedEventExists(MonitorNames::InstanceEvent); }, 20000))
        << ReadFileText(m_env.Root() + "/monitor.log");
    SleepMs(1500);
    // A text copied next is seen at once, though the stopped owner is never asked again in vain.
    Copy("ftp://host/dir/file.zip");
    EXPECT_TRUE(WaitFor([&] { return !Starts().empty(); }, 5000))
        << ReadFileText(m_env.Root() + "/monitor.log");
    EXPECT_EQ(Starts(), "0 []\n");
    EXPECT_TRUE(monitor.Running());

    kill(m_xclips.front()->Pid(), SIGCONT);
    monitor.End();
    m_xclips.clear();
    m_xvfb.End();
}

} // namespace
