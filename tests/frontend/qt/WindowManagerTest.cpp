// The main window under a real X server and window manager, whose own minimise and mapping rules
// decide what the user sees; whether there is a notification area the test says.
#include "GuiTest.h"
#include "StatusNotifierWatcher.h"
#include "frontend/qt/StatusNotifier.h"
#include "urlmon/XSession.h"

#include <QApplication>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QMenu>
#include <QSystemTrayIcon>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

class WindowManagerTest : public FrameTest {
protected:
    // The X server and its window manager must be there before the application connects; both
    // end with the test program.
    static void SetUpTestSuite() {
        if (!xsession::Installed("Xvfb") || !xsession::Installed("openbox") ||
            QApplication::instance() != nullptr) {
            return;
        }
        const std::string display = xsession::StartXvfb(s_xvfb, "/dev/null");
        if (display.empty() ||
            !s_openbox.Start({"openbox"}, xsession::Environment({"DISPLAY=" + display}))) {
            return;
        }
        xsession::SleepMs(1000);
        setenv("DISPLAY", display.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        s_ready = true;
        // A notification area of the StatusNotifierItem kind comes only where a test starts one.
        s_busAddress = xsession::Installed("dbus-daemon") ? xsession::StartSessionBus(s_bus) : "";
        setenv("DBUS_SESSION_BUS_ADDRESS", s_busAddress.c_str(), 1);
    }

    xcb_connection_t* X() {
        return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    }
    xcb_atom_t Atom(const char* name) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(X(), xcb_intern_atom(X(), 0, std::strlen(name), name), nullptr),
            &std::free);
        return reply->atom;
    }
    // What the window manager made of the window: 1 normal, 3 iconic (ICCCM), 0 none.
    std::uint32_t WmState() {
        const xcb_atom_t state = Atom("WM_STATE");
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(
                X(), xcb_get_property(X(), 0, frame->winId(), state, state, 0, 1), nullptr),
            &std::free);
        return reply && xcb_get_property_value_length(reply.get()) == 4
                   ? *static_cast<std::uint32_t*>(xcb_get_property_value(reply.get()))
                   : 0;
    }
    // The window manager's own minimise, as its button or a task bar asks for it.
    void MinimiseByWindowManager() {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = frame->winId();
        event.type = Atom("WM_CHANGE_STATE");
        event.data.data32[0] = 3;
        xcb_send_event(X(), 0, xcb_setup_roots_iterator(xcb_get_setup(X())).data->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(X());
    }
    template <typename Condition> bool Settles(Condition condition, int timeoutMs = 5000) {
        return WaitFor(
            [&] {
                QApplication::processEvents();
                return condition();
            },
            timeoutMs);
    }

    static inline xsession::CChild s_xvfb;
    static inline xsession::CChild s_openbox;
    static inline xsession::CChild s_bus;
    static inline std::string s_busAddress;
    static inline bool s_ready = false;
};

TEST_F(WindowManagerTest, WithoutATrayTheWindowEndsMinimisedHoweverItWentToTheTray) {
    if (!s_ready) {
        GTEST_SKIP() << "needs Xvfb and openbox";
    }
    for (const bool byWindowManager : {false, true}) {
        SCOPED_TRACE(byWindowManager ? "the window manager's minimise" : "Hide");
        frame->trayAvailable = true;
        frame->OnOpen();
        ASSERT_TRUE(Settles([&] { return WmState() == 1; }));
        // A window manager still busy showing the window may pass over a request.
        for (int i = 0; i < 5 && !frame->m_bTrayIconAdded; ++i) {
            byWindowManager ? MinimiseByWindowManager() : frame->OnHide();
            Settles([&] { return frame->m_bTrayIconAdded && WmState() != 1; }, 1000);
        }
        ASSERT_TRUE(frame->m_bTrayIconAdded && !frame->isVisible());

        // The panel restarts: no notification area for now.
        frame->trayAvailable = false;
        frame->FollowNotificationArea();
        Settles([&] { return WmState() == 3; });
        xsession::SleepMs(500);
        QApplication::processEvents();
        EXPECT_EQ(WmState(), 3u);
        EXPECT_TRUE(frame->m_bMinimizedToTray);
        EXPECT_TRUE(frame->isMinimized());
    }
}

TEST_F(WindowManagerTest, AStatusNotifierHostShowsTheNamesAndItsActivateOpensTheWindow) {
    if (!s_ready || s_busAddress.empty()) {
        GTEST_SKIP() << "needs Xvfb, openbox and dbus-daemon";
    }
    NameApplicationForDesktop();
    CStatusNotifierWatcher watcher(QString::fromStdString(s_busAddress));
    frame->OnHide();
    ASSERT_TRUE(Settles([&] { return !watcher.Items().isEmpty(); }));
    // A call to the item's object `path`, answered while the program under test runs on.
    auto call = [&](const char* path, const char* interface, const char* method,
                    const QVariantList& args) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            watcher.Items().first(), QString::fromLatin1(path), QString::fromLatin1(interface),
            QString::fromLatin1(method));
        message.setArguments(args);
        QDBusPendingCall pending = watcher.Bus().asyncCall(message);
        Settles([&] { return pending.isFinished(); });
        return pending.reply().arguments();
    };
    auto property = [&](const char* name) {
        return qvariant_cast<QDBusVariant>(
                   call("/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                        {QStringLiteral("org.kde.StatusNotifierItem"), QString::fromLatin1(name)})
                       .value(0))
            .variant();
    };
    EXPECT_EQ(property("Title").toString().toStdString(), "Quorvel PRO Monitor");
    // The host shows the tray menu as it is: the same items, exported where the item says.
    ASSERT_EQ(qvariant_cast<QDBusObjectPath>(property("Menu")).path(), QStringLiteral("/MenuBar"));
    // Each item is (id, properties, children).
    auto label = [](const QDBusArgument& item, QVariantList* children) {
        int id = 0;
        QVariantMap properties;
        item.beginStructure();
        item >> id >> properties >> *children;
        item.endStructure();
        return properties.value(QStringLiteral("label")).toString();
    };
    QVariantList items;
    QVariantList none;
    label(call("/MenuBar", "com.canonical.dbusmenu", "GetLayout",
               {0, 1, QStringList{QStringLiteral("label")}})
              .value(1)
              .value<QDBusArgument>(),
          &items);
    QStringList shown;
    for (const QVariant& item : items) {
        shown << label(item.value<QDBusArgument>(), &none);
    }
    QStringList expected;
    for (const QAction* action : frame->TrayMenu()->actions()) {
        expected << action->text().replace('&', '_');
    }
    EXPECT_EQ(shown.join('|').toStdString(), expected.join('|').toStdString());
    frame->realNotices = true;
    frame->m_wndLog.AddFailure("Could not start Quorvel PRO.\r\n");
    ASSERT_TRUE(Settles([&] { return !watcher.Notifications().isEmpty(); }));
    const QVariantList notice = watcher.Notifications().first();
    EXPECT_EQ(notice.value(0).toString().toStdString(), "Quorvel PRO Monitor");
    EXPECT_EQ(notice.value(4).toString().toStdString(), "Could not start Quorvel PRO.");
    EXPECT_EQ(
        qdbus_cast<QVariantMap>(notice.value(6)).value("desktop-entry").toString().toStdString(),
        "quorvel-monitor");

    // The menu stays the host's to show: only the open gesture is answered by the program.
    call("/StatusNotifierItem", "org.kde.StatusNotifierItem", "Activate", {0, 0});
    EXPECT_TRUE(Settles([&] { return WmState() == 1 && !frame->m_bMinimizedToTray; }));
    // The window manager's passing states settle; the window stays open.
    Settles([] { return false; }, 1000);
    EXPECT_TRUE(WmState() == 1 && frame->isVisible() && !frame->m_bMinimizedToTray);
    EXPECT_FALSE(frame->TrayMenu()->isVisible());
}

// The window on a Wayland compositor of the test's own (headless sway), where the compositor
// alone knows how the window is shown and tells nobody of a minimise.
class WaylandWindowTest : public FrameTest {
protected:
    static void SetUpTestSuite() {
        if (!xsession::Installed("sway") || QApplication::instance() != nullptr) {
            return;
        }
        char dir[] = "/tmp/qpm-sway-XXXXXX";
        s_dir = mkdtemp(dir) != nullptr ? dir : "";
        const std::string socket =
            s_dir.empty() ? "" : xsession::StartHeadlessSway(s_sway, s_dir, false, "/dev/null");
        if (!socket.empty()) {
            setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
            setenv("QT_QPA_PLATFORM", "wayland", 1);
            s_ready = true;
        }
    }
    // The toolkit lets go of the compositor before it ends.
    static void TearDownTestSuite() {
        delete QApplication::instance();
        s_sway.End();
        if (!s_dir.empty()) {
            std::filesystem::remove_all(s_dir);
        }
    }

    static inline xsession::CChild s_sway;
    static inline std::string s_dir;
    static inline bool s_ready = false;
};

TEST_F(WaylandWindowTest, AWindowTheCompositorShowsIsOpenAndItsClockRuns) {
    if (!s_ready) {
        GTEST_SKIP() << "needs sway (scripts/setup.sh --test)";
    }
    // No notification area: minimised onto a task bar, which sway does not have; it shows the
    // window instead, and says so only by leaving the minimised state out.
    frame->trayAvailable = false;
    frame->OnHide();
    ASSERT_TRUE(WaitFor(
        [&] {
            QApplication::processEvents();
            return frame->isVisible() && !frame->isMinimized() && !frame->m_bMinimizedToTray;
        },
        5000));
    frame->OnTimer(TimerId::UrlMonitor);
    EXPECT_NE(frame->ClockText(), "");
}

} // namespace
