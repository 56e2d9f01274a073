// The X server beside the toolkit's own connection: whether a display can be reached at all, and
// whether the clipboard's owner answers, each asked without waiting long; and what the window
// manager is asked about showing a window, where the toolkit asks too little.
#pragma once

#include <cstdint>
#include <string>

struct xcb_connection_t;

// True when the display `name` (null: $DISPLAY) accepts a connection.
bool X11DisplayReachable(const char* name);

// Asks the window manager to map `window` iconic when it is next mapped (the initial state of
// its WM_HINTS), keeping the rest of its hints. Requested on `connection`, unflushed.
void X11AskToMapIconic(xcb_connection_t* connection, std::uint32_t window);

// Asks the owner of the clipboard for its list of formats over a connection of its own and waits
// a bounded time for the answer, so that a stopped or hung owner costs that time and no more.
class CX11ClipboardProbe {
public:
    CX11ClipboardProbe() = default;
    ~CX11ClipboardProbe();
    CX11ClipboardProbe(const CX11ClipboardProbe&) = delete;
    CX11ClipboardProbe& operator=(const CX11ClipboardProbe&) = delete;

    // True when nobody owns the clipboard or its owner answered within `timeoutMs`; false when
    // it did not, or the display cannot be reached.
    bool OwnerAnswers(int timeoutMs);

private:
    bool Connect();

    xcb_connection_t* m_connection = nullptr;
    std::uint32_t m_window = 0;
    std::uint32_t m_clipboard = 0;
    std::uint32_t m_targets = 0;
    std::uint32_t m_property = 0;
};
