// The clipboard of a Wayland desktop, followed from the background through the compositor's
// data-control protocol (KDE Plasma, wlroots desktops): there a program without the keyboard
// focus sees copies only this way. A connection of its own, free of any toolkit.
#pragma once

#include "platform/Clipboard.h"

#include <memory>
#include <string>

class CWaylandClipboard : public IClipboard {
public:
    // Connects to the display named by WAYLAND_DISPLAY. Null where there is none or where the
    // compositor offers no data-control. The Control key is asked of `keyboard`, since the
    // protocol tells nothing of keys.
    static std::unique_ptr<CWaylandClipboard> Connect(IClipboard& keyboard);
    ~CWaylandClipboard() override;
    CWaylandClipboard(const CWaylandClipboard&) = delete;
    CWaylandClipboard& operator=(const CWaylandClipboard&) = delete;

    std::string GetText() override;
    bool IsControlKeyDown() override;
    // Counts the compositor's selection notices, every owner's.
    std::int64_t GetChangeCount() override;
    // The protocol in use, for the log.
    const char* Protocol() const;

    class CSession;

private:
    CWaylandClipboard(std::unique_ptr<CSession> session, IClipboard& keyboard);

    std::unique_ptr<CSession> m_pSession;
    IClipboard& m_keyboard;
};
