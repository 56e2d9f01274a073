// One tick of the URL monitor while a 5 MB text sits unchanged on the clipboard, owned by
// another program (xclip on an X server of our own) where possible, else by this process on
// the offscreen platform. "Told" uses the platform's change notices; "ReadEveryTick" is the
// same tick on a clipboard that does not tell of changes and so is read every time.
#include "BenchSupport.h"

#include "app/MonitorApp.h"
#include "core/ActivityLog.h"
#include "core/SiblingPrograms.h"
#include "frontend/qt/platform/QtClipboard.h"
#include "urlmon/UrlMonitor.h"

#include <QClipboard>
#include <QGuiApplication>
#include <benchmark/benchmark.h>

namespace {

class CCountingSiblings : public ISiblingPrograms {
public:
    BOOL IsClientRunning() override { return FALSE; }
    BOOL IsDownloadHelperRunning() override { return FALSE; }
    ClientLaunch LaunchClient(const char*, std::string*) override {
        ++launches;
        return ClientLaunch::Started;
    }
    int launches = 0;
};

class CNullLog : public IActivityLog {
public:
    void AddTimeStamp() override {}
    void AddLine(const char*, COLORREF) override {}
};

// The Qt clipboard as a platform without change notices would offer it.
class CUntoldClipboard : public IClipboard {
public:
    explicit CUntoldClipboard(IClipboard& inner) : m_inner(inner) {}
    std::string GetText() override { return m_inner.GetText(); }
    bool IsControlKeyDown() override { return m_inner.IsControlKeyDown(); }

private:
    IClipboard& m_inner;
};

void RunTicks(benchmark::State& state, CWinApp& prefs, IClipboard& clipboard) {
    CCountingSiblings siblings;
    CNullLog log;
    CUrlMonitor monitor(prefs, siblings, clipboard);
    monitor.Attach(&log);
    monitor.Start(nullptr);
    QCoreApplication::processEvents();
    for (auto _ : state) {
        monitor.OnTimerTick();
    }
    if (siblings.launches != 0) {
        state.SkipWithError("the unchanged text started the client");
    }
}

} // namespace

int RunBenchmarks(int argc, char** argv, const std::string& display, bench::CChild& xclip,
                  const std::string& root);

int main(int argc, char** argv) {
    TestEnv folders;
    bench::CChild xvfb;
    bench::CChild xclip;
    const bool ownServer = bench::Installed("Xvfb") && bench::Installed("xclip");
    std::string display;
    if (ownServer) {
        display = bench::StartXvfb(xvfb, folders.Root() + "/xvfb.log");
    }
    if (!display.empty()) {
        setenv("DISPLAY", display.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    } else {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    unsetenv("WAYLAND_DISPLAY");

    // The application goes before its X server does.
    const int status = RunBenchmarks(argc, argv, display, xclip, folders.Root());
    xclip.End();
    xvfb.End();
    return status;
}

int RunBenchmarks(int argc, char** argv, const std::string& display, bench::CChild& xclip,
                  const std::string& root) {
    QGuiApplication application(argc, argv);
    const std::string text = bench::FiveMegabyteText();
    const std::string owner = display.empty() ? "this process (offscreen)" : "xclip on Xvfb";
    if (!display.empty()) {
        if (!bench::CopyWithXclip(xclip, display, text, root + "/xclip.log")) {
            std::fprintf(stderr, "xclip could not take the clipboard\n");
            return 1;
        }
        for (int waited = 0; waited < 20000; waited += 50) {
            QCoreApplication::processEvents();
            if (QGuiApplication::clipboard()->text().size() ==
                static_cast<qsizetype>(text.size())) {
                break;
            }
            bench::SleepMs(50);
        }
    } else {
        QGuiApplication::clipboard()->setText(QString::fromStdString(text));
    }
    if (QGuiApplication::clipboard()->text().toStdString() != text) {
        std::fprintf(stderr, "the clipboard does not hold the 5 MB text\n");
        return 1;
    }

    CWinApp prefs;
    UseMonitorProfile(prefs);
    prefs.WriteProfileInt(MonitorNames::PreferencesSection, "URLMonitor", 1);

    CQtClipboard qtClipboard;
    CUntoldClipboard untold(qtClipboard);
    benchmark::RegisterBenchmark("UnchangedTick5MB/Told", [&](benchmark::State& state) {
        RunTicks(state, prefs, qtClipboard);
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("UnchangedTick5MB/ReadEveryTick", [&](benchmark::State& state) {
        RunTicks(state, prefs, untold);
    })->Unit(benchmark::kMillisecond);

    benchmark::AddCustomContext("clipboard owner", owner);
    benchmark::AddCustomContext("platform", QGuiApplication::platformName().toStdString());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
