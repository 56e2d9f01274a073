// What the Monitor's Qt-free parts need of a window: its timers. The main window implements
// it; ticks come back to it as OnTimer(id), like window timers did.
#pragma once

#include "platform/Types.h"

class IWindow {
public:
    virtual ~IWindow() = default;
    // Starts (or restarts) timer `id` with a period of `elapseMs`; non-zero on success.
    virtual UINT SetTimer(UINT id, UINT elapseMs) = 0;
    virtual BOOL KillTimer(UINT id) = 0;
};

using HWND = IWindow*;
