// The plug-in's entry point (see WaylandPlugin.h); everything else in it is hidden.
#include "platform/wayland/WaylandPlugin.h"
#include "platform/wayland/WaylandClipboard.h"

#include <type_traits>

extern "C" __attribute__((visibility("default"))) IClipboard*
qpm_wayland_clipboard_connect(IClipboard* keyboard, const char** protocol) {
    std::unique_ptr<CWaylandClipboard> clipboard = CWaylandClipboard::Connect(*keyboard);
    *protocol = clipboard != nullptr ? clipboard->Protocol() : nullptr;
    return clipboard.release();
}

static_assert(std::is_same_v<decltype(&qpm_wayland_clipboard_connect), WaylandConnectFunction>);
