// The clipboard's Unicode text and the Control key, from the system.
#pragma once

#include "platform/Clipboard.h"

class CWin32Clipboard : public IClipboard {
public:
    std::string GetText() override;
    bool IsControlKeyDown() override;
    // The system's clipboard sequence number: an unchanged clipboard is never read again.
    std::int64_t GetChangeCount() override;
};
