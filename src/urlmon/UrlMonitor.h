// Starts the client when the user copies an FTP URL while the client is not running.
#pragma once

#include "platform/Digest.h"
#include "platform/Types.h"
#include "platform/Window.h"

#include <cstdint>
#include <string>

class CWinApp;
class IActivityLog;
class IClipboard;
class ISiblingPrograms;

class CUrlMonitor {
public:
    CUrlMonitor(CWinApp& app, ISiblingPrograms& siblings, IClipboard& clipboard);
    virtual ~CUrlMonitor() = default;

    // Remembers the log and the text already on the clipboard, which never counts as new.
    void Attach(IActivityLog* pLog);
    // Switches on and starts timer 1 (500 ms). Logs only what keeps it from seeing copies: a
    // desktop that shows the clipboard only to the window in front, the client's switch off.
    UINT Start(HWND hWnd);
    // Switches off without a log line and kills timer 1.
    BOOL Stop(HWND hWnd);
    // Switches and logs "URL Monitor Enabled./Disabled." on every call.
    void SetEnabled(BOOL bEnable);
    BOOL IsEnabled() const { return m_bEnabled; }
    // One poll of the clipboard: a new text whose first word is an FTP URL starts the client,
    // unless the client runs or Control is held.
    void OnTimerTick();
    // The clipboard's text up to its first NUL, or empty.
    std::string GetClipboardText();

private:
    // What is kept of a clipboard text to know it again: the text itself may be megabytes.
    struct Fingerprint {
        std::size_t length = 0;
        Sha256Digest digest{};
        bool operator==(const Fingerprint&) const = default;
    };
    static Fingerprint FingerprintOf(const std::string& text);
    // Reads the clipboard and notes its change count when the text is not empty.
    std::string ReadClipboard();

    BOOL m_bEnabled = 0;
    // The clipboard could not see copies at the last tick.
    bool m_bBlind = false;
    // The last clipboard text seen.
    Fingerprint m_lastText = FingerprintOf({});
    IActivityLog* m_pLog = nullptr;
    // The clipboard's change count when m_lastText was read; -1 when unknown. While the
    // clipboard reports this same count, a read would give that text back again.
    std::int64_t m_nSeenChangeCount = -1;
    CWinApp& m_app;
    ISiblingPrograms& m_siblings;
    IClipboard& m_clipboard;
};
