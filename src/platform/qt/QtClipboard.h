// The clipboard and Control key through Qt.
#pragma once

#include "platform/Clipboard.h"

#include <QMetaObject>

class CQtClipboard : public IClipboard {
public:
    CQtClipboard() = default;
    ~CQtClipboard() override;
    CQtClipboard(const CQtClipboard&) = delete;
    CQtClipboard& operator=(const CQtClipboard&) = delete;

    std::string GetText() override;
    bool IsControlKeyDown() override;
    // Counts the clipboard's change notices on platforms known to deliver them for every
    // owner, ours and other programs'; -1 elsewhere. Notices arrive through the event loop.
    std::int64_t GetChangeCount() override;

private:
    QMetaObject::Connection m_connection;
    std::int64_t m_nChanges = 0;
    bool m_bWatching = false;
};
