// The main window under a real X server and window manager, whose own minimise and mapping
// rules decide what the user sees; the notification area comes and goes as the test says.
#include "GuiTest.h"
#include "urlmon/XSession.h"

#include <QApplication>
#include <QWindow>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

class WindowManagerTest : public FrameTest {
protected:
    // The X server and its window manager must be there before the application connects.
    static void SetUpTestSuite() {
        if (!xsession::Installed("Xvfb") || !xsession::Installed("openbox") ||
            QApplication::instance() != nullptr) {
            return;
        }
        s_xvfb = new xsession::CChild;
        const std::string display = xsession::StartXvfb(*s_xvfb, "/dev/null");
        s_openbox = new xsession::CChild;
        if (display.empty() ||
            !s_openbox->Start({"openbox"}, xsession::Environment({"DISPLAY=" + display}))) {
            return;
        }
        xsession::SleepMs(1000);
        setenv("DISPLAY", display.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        unsetenv("WAYLAND_DISPLAY");
        s_ready = true;
    }

    xcb_connection_t* Connection() {
        return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    }
    xcb_window_t Window() { return static_cast<xcb_window_t>(frame->winId()); }

    // What the window manager made of the window: 1 normal, 3 iconic (ICCCM), 0 none.
    unsigned WmState() {
        xcb_connection_t* c = Connection();
        const auto* name = "WM_STATE";
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 8, name), nullptr), &std::free);
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(
                c, xcb_get_property(c, 0, Window(), atom->atom, atom->atom, 0, 2), nullptr),
            &std::free);
        return reply && xcb_get_property_value_length(reply.get()) >= 4
                   ? *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()))
                   : 0;
    }
    bool Viewable() {
        std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
            xcb_get_window_attributes_reply(
                Connection(), xcb_get_window_attributes(Connection(), Window()), nullptr),
            &std::free);
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    }
    // The window manager's own minimise, as its button or a task bar asks for it.
    void MinimiseByWindowManager() {
        xcb_connection_t* c = Connection();
        const auto* name = "WM_CHANGE_STATE";
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 15, name), nullptr), &std::free);
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = Window();
        event.type = atom->atom;
        event.data.data32[0] = 3;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_send_event(c, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(c);
    }
    template <typename Condition> bool Settles(Condition condition, int timeoutMs = 5000) {
        return WaitFor(
            [&] {
                QApplication::processEvents();
                return condition();
            },
            timeoutMs);
    }

    static inline xsession::CChild* s_xvfb = nullptr;
    static inline xsession::CChild* s_openbox = nullptr;
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
        ASSERT_TRUE(Settles([&] { return WmState() == 1 && Viewable(); }));
        if (byWindowManager) {
            // A window manager still busy showing the window may pass over a request.
            for (int i = 0; i < 5 && !frame->m_bTrayIconAdded; ++i) {
                MinimiseByWindowManager();
                Settles([&] { return frame->m_bTrayIconAdded; }, 1000);
            }
        } else {
            frame->OnHide();
        }
        ASSERT_TRUE(Settles([&] { return frame->m_bTrayIconAdded && WmState() != 1; }));

        // The panel restarts: no notification area for now.
        frame->trayAvailable = false;
        frame->FollowNotificationArea();
        EXPECT_TRUE(Settles([&] { return WmState() == 3; }));
        xsession::SleepMs(500);
        QApplication::processEvents();
        EXPECT_EQ(WmState(), 3u);
        EXPECT_FALSE(Viewable());
        EXPECT_TRUE(frame->m_bMinimizedToTray);
        EXPECT_TRUE(frame->isMinimized());
    }
}

} // namespace
