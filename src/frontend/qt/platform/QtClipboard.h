// The clipboard and Control key through Qt.
#pragma once

#include "platform/Clipboard.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <memory>

class CX11ClipboardProbe;

class CQtClipboard : public IClipboard {
public:
    CQtClipboard();
    ~CQtClipboard() override;
    CQtClipboard(const CQtClipboard&) = delete;
    CQtClipboard& operator=(const CQtClipboard&) = delete;

    std::string GetText() override;
    bool IsControlKeyDown() override;
    // Counts the clipboard's change notices on platforms known to deliver them for every
    // owner, ours and other programs'; -1 elsewhere. Notices arrive through the event loop.
    std::int64_t GetChangeCount() override;
    // Natively on Wayland the compositor shows the clipboard only to the focused window.
    bool WatchesInBackground() override;
    bool SeesCopiesNow() override;

private:
    // Whether the text can be asked for without stalling: on X11 it comes from the program that
    // owns the clipboard, and the toolkit waits many seconds for one that does not answer.
    bool OwnerAnswers();

    QMetaObject::Connection m_connection;
    std::int64_t m_nChanges = 0;
    bool m_bWatching = false;
#ifdef QPM_X11
    std::unique_ptr<CX11ClipboardProbe> m_pProbe;
    bool m_bOwnerSilent = false;
    std::int64_t m_nSilentChanges = 0;
    QElapsedTimer m_silentSince;
#endif
};
