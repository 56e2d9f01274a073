#include "frontend/qt/x11/X11.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <xcb/xcb.h>

bool X11DisplayReachable(const char* name) {
    xcb_connection_t* connection = xcb_connect(name, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}

void X11AskToMapIconic(xcb_connection_t* connection, std::uint32_t window) {
    // Flags, input, initial state, then the icon and group fields, which are kept as they are.
    std::array<std::uint32_t, 9> hints{};
    constexpr std::uint32_t kStateHint = 2;
    constexpr std::uint32_t kIconicState = 3;
    const xcb_get_property_cookie_t cookie = xcb_get_property(
        connection, 0, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, hints.size());
    if (xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr)) {
        const auto bytes = std::min<std::size_t>(
            static_cast<std::size_t>(std::max(0, xcb_get_property_value_length(reply))),
            sizeof hints);
        std::memcpy(hints.data(), xcb_get_property_value(reply), bytes);
        std::free(reply);
    }
    hints[0] |= kStateHint;
    hints[2] = kIconicState;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS,
                        XCB_ATOM_WM_HINTS, 32, hints.size(), hints.data());
}

namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

} // namespace

CX11ClipboardProbe::~CX11ClipboardProbe() {
    if (m_connection != nullptr) {
        xcb_disconnect(m_connection);
    }
}

bool CX11ClipboardProbe::Connect() {
    if (m_connection != nullptr) {
        return true;
    }
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        xcb_disconnect(connection);
        return false;
    }
    // An unmapped window of our own to receive the answer.
    m_window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, m_window, screens.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    m_clipboard = Atom(connection, "CLIPBOARD");
    m_targets = Atom(connection, "TARGETS");
    m_property = Atom(connection, "QPM_CLIPBOARD_PROBE");
    m_connection = connection;
    return true;
}

bool CX11ClipboardProbe::OwnerAnswers(int timeoutMs) {
    if (!Connect()) {
        return false;
    }
    // Answers to earlier questions that came too late say nothing about this one.
    while (xcb_generic_event_t* stale = xcb_poll_for_event(m_connection)) {
        std::free(stale);
    }
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_clipboard), nullptr);
    const bool owned = owner != nullptr && owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    if (!owned) {
        return xcb_connection_has_error(m_connection) == 0;
    }
    xcb_convert_selection(m_connection, m_window, m_clipboard, m_targets, m_property,
                          XCB_CURRENT_TIME);
    xcb_flush(m_connection);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool answered = false;
    while (!answered && xcb_connection_has_error(m_connection) == 0) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
            const auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event);
            answered = answered || ((event->response_type & 0x7F) == XCB_SELECTION_NOTIFY &&
                                    notify->requestor == m_window);
            std::free(event);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (answered || left <= 0) {
            break;
        }
        pollfd wait{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        poll(&wait, 1, static_cast<int>(left));
    }
    xcb_delete_property(m_connection, m_window, m_property);
    xcb_flush(m_connection);
    return answered;
}
