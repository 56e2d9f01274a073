// The Monitor's entry point: picks a Qt platform that works for a resident tray program,
// then runs start-up and the event loop.
#include "app/MonitorApp.h"
#include "app/Version.h"
#include "frontend/qt/MainFrame.h"
#include "frontend/qt/QtDesktop.h"
#include "frontend/qt/SessionEnd.h"
#include "frontend/qt/StatusNotifier.h"
#include "frontend/qt/platform/QtClipboard.h"
#include "platform/Launch.h"
#include "platform/NamedObjects.h"
#include "platform/wayland/WaylandPlugin.h"
#ifdef QPM_X11
#include "frontend/qt/x11/X11.h"
#endif

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

constexpr const char* kHelp =
    "usage: quorvel-monitor [wstart]\n"
    "\n"
    "The Quorvel PRO Monitor: from an icon in the notification area it hands scheduled\n"
    "transfer queues to Quorvel PRO, starts Quorvel PRO for copied FTP links and resumes\n"
    "interrupted transfers. A second Monitor of the same user ends at once.\n"
    "\n"
    "  wstart     a start at logon: ends at once when \"Load Monitor at startup\" is off\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "Qt's own options (-platform NAME, -display DISPLAY ...) are understood as well.\n"
    "The state lives in the store that quorvel-monitorctl reads and writes; see\n"
    "quorvel-monitor(1).\n";

// `--help` or `--version` as the whole command line is answered without a display and
// without starting a Monitor; any other command line is the Monitor's own.
bool AnswerInformationRequest(int argc, char** argv) {
    if (argc != 2) {
        return false;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(kHelp, stdout);
        return true;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("quorvel-monitor %s\n", MonitorVersion::Number);
        return true;
    }
    return false;
}

// Qt's own options, which the toolkit takes from the command line, and whether each is
// followed by a value.
constexpr std::pair<const char*, bool> kQtOptions[] = {{"platform", true},
                                                       {"platformpluginpath", true},
                                                       {"platformtheme", true},
                                                       {"plugin", true},
                                                       {"display", true},
                                                       {"geometry", true},
                                                       {"qwindowgeometry", true},
                                                       {"qwindowicon", true},
                                                       {"qwindowtitle", true},
                                                       {"title", true},
                                                       {"name", true},
                                                       {"session", true},
                                                       {"style", true},
                                                       {"stylesheet", true},
                                                       {"reverse", false},
                                                       {"nograb", false},
                                                       {"dograb", false},
                                                       {"sync", false},
                                                       {"widgetcount", false}};

// The first argument that is neither a word holding "wstart" (in any case: only the lower-case
// one is a start at logon, but "/WSTART" is still the Monitor's own) nor one of
// Qt's options with its value; null when there is none. A mistyped option must not start a
// resident Monitor.
const char* UnknownArgument(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (strcasestr(arg, "wstart") != nullptr) {
            continue;
        }
        const char* name = arg[0] == '-' ? arg + (arg[1] == '-' ? 2 : 1) : nullptr;
        const auto known =
            std::find_if(std::begin(kQtOptions), std::end(kQtOptions), [name](const auto& option) {
                return name != nullptr && std::strcmp(name, option.first) == 0;
            });
        if (known == std::end(kQtOptions)) {
            return arg;
        }
        i += known->second ? 1 : 0;
    }
    return nullptr;
}

bool HasEnv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

bool QtWaylandInstalled() {
    const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath);
    return QFileInfo::exists(plugins + QStringLiteral("/platforms/libqwayland-generic.so"));
}

// Without any display the Monitor still schedules and resumes, on the offscreen platform. With
// both a Wayland and an X display (XWayland) it runs natively where the compositor lets it
// follow the clipboard from the background (data-control); elsewhere on X, whose mirror of the
// clipboard GNOME keeps for programs in the background. The user's choice of platform stands.
void ChooseQtPlatform(bool dataControl) {
    if (HasEnv("QT_QPA_PLATFORM")) {
        return;
    }
    if (!HasEnv("DISPLAY") && !HasEnv("WAYLAND_DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    } else if (HasEnv("WAYLAND_DISPLAY") && HasEnv("DISPLAY")) {
        setenv("QT_QPA_PLATFORM", dataControl && QtWaylandInstalled() ? "wayland" : "xcb", 1);
    } else if (HasEnv("WAYLAND_DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "wayland", 1);
    }
}

// What the Monitor runs on and how it sees the clipboard, for the log's start entry.
std::string DesktopNote(const WaylandWatcher& dataControl) {
    const QString platform = QGuiApplication::platformName();
    std::string note = "Desktop: ";
    if (platform == QLatin1String("wayland")) {
        note += "Wayland";
    } else if (platform == QLatin1String("xcb")) {
        note += HasEnv("WAYLAND_DISPLAY") ? "X11 through XWayland" : "X11";
    } else {
        note += "none (" + platform.toStdString() + ")";
    }
    if (dataControl.clipboard != nullptr) {
        note += std::string("; clipboard followed through ") + dataControl.protocol;
    } else if (!dataControl.problem.empty()) {
        note += "; the Wayland clipboard watcher could not be loaded (" + dataControl.problem + ")";
    }
    return note + ".";
}

std::string CommandLineAfterProgram(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            line += ' ';
        }
        line += argv[i];
    }
    return line;
}

// The value of Qt's option `name` on the command line ("-display :1"), or null.
const char* QtOption(int argc, char** argv, const char* name) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) {
            return argv[i + 1];
        }
    }
    return nullptr;
}

// Why the Monitor cannot run here, or empty. Checked before the toolkit starts: without a safe
// folder for named objects it could not tell whether another Monitor runs, and the toolkit ends
// the program by abort() when its display cannot be reached.
std::string StartProblem(int argc, char** argv) {
    std::string why;
    if (NamedObjectFolder(&why).empty()) {
        return "no safe folder for named objects: " + why;
    }
#ifdef QPM_X11
    // X11 where it was chosen, or where it is the toolkit's own choice for a display alone.
    const char* platform = QtOption(argc, argv, "-platform");
    platform = platform != nullptr ? platform : std::getenv("QT_QPA_PLATFORM");
    const char* display = QtOption(argc, argv, "-display");
    display = display != nullptr ? display : std::getenv("DISPLAY");
    const bool x11 = platform != nullptr && *platform != '\0'
                         ? std::strncmp(platform, "xcb", 3) == 0
                         : display != nullptr && *display != '\0' && !HasEnv("WAYLAND_DISPLAY");
    if (x11 && !X11DisplayReachable(display)) {
        return "the display '" + std::string(display != nullptr ? display : "") +
               "' cannot be reached";
    }
#endif
    return {};
}

bool IsHeadless() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

} // namespace

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // Blocks of 128 KiB and more come from the system and go back to it when freed. Left to
    // itself the allocator raises that bound to the largest block freed so far, and a read
    // of a clipboard text of megabytes would then stay in the heap for good.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    if (AnswerInformationRequest(argc, argv)) {
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (const char* unknown = UnknownArgument(argc, argv)) {
        std::fprintf(stderr, "quorvel-monitor: unknown option '%s' (try --help)\n", unknown);
        return 2;
    }
    // A clipboard followed through the compositor is seen from the background; Qt's own sees
    // it only while the window has the focus there, so it serves for the Control key alone.
    CQtClipboard qtClipboard;
    // Without its plug-in the Monitor runs as where the compositor offers no data-control.
    WaylandWatcher dataControl;
    if (HasEnv("WAYLAND_DISPLAY")) {
        dataControl = LoadWaylandClipboard(qtClipboard);
        if (!dataControl.problem.empty()) {
            std::fprintf(stderr,
                         "quorvel-monitor: the Wayland clipboard watcher could not be loaded "
                         "(%s); the clipboard is read through the toolkit\n",
                         dataControl.problem.c_str());
        }
    }
    ChooseQtPlatform(dataControl.clipboard != nullptr);
    const std::string problem = StartProblem(argc, argv);
    if (!problem.empty()) {
        std::fprintf(stderr, "quorvel-monitor: cannot start: %s\n", problem.c_str());
        return 1;
    }
    // The log mirror may write into a pipe whose reader has gone; that must not end the
    // Monitor. Started programs get their signals back to default.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    NameApplicationForDesktop();

    CQtDesktop desktop;
    desktop.SetStartNote(DesktopNote(dataControl));
    // Someone watches a terminal, or nobody can see the window; otherwise the log stays in the
    // window, since copied URLs may carry passwords.
    if (isatty(STDOUT_FILENO) != 0 || IsHeadless()) {
        desktop.SetLogMirror(stdout);
    }
    CSessionEnd sessionEnd;
    QObject::connect(&sessionEnd, &CSessionEnd::endRequested, [&desktop] {
        if (CMainFrame* frame = desktop.MainFrame()) {
            frame->EndSession();
        }
    });

    IClipboard& clipboard = dataControl.clipboard != nullptr
                                ? *dataControl.clipboard
                                : static_cast<IClipboard&>(qtClipboard);
    CMonitorApp app(desktop, clipboard, SystemShell());
    int status = 0;
    if (app.InitInstance(CommandLineAfterProgram(argc, argv))) {
        CMainFrame* frame = desktop.MainFrame();
        // A request that came during start-up ends the Monitor before the loop starts.
        if (frame != nullptr && sessionEnd.Requested()) {
            frame->EndSession();
        }
        if (frame != nullptr && !frame->IsDestroyed()) {
            status = QApplication::exec();
        }
    }
    app.ExitInstance();
    return status;
}
