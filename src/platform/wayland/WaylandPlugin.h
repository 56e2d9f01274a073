// The clipboard watcher of Wayland desktops lives in a plug-in of its own, which the Monitor
// loads only where WAYLAND_DISPLAY is set: elsewhere libwayland-client would be loaded and
// relocated at every start for nothing. The plug-in has one entry point, of C linkage, so that
// finding it needs no mangled name.
#pragma once

#include "platform/Clipboard.h"

#include <memory>
#include <string>

// CWaylandClipboard::Connect: the watcher, owned by the caller, or null where there is no
// display or no data-control. `protocol` receives the protocol's name, which lives as long as
// the plug-in stays loaded (for good).
extern "C" {
using WaylandConnectFunction = IClipboard* (*)(IClipboard* keyboard, const char** protocol);
}
inline constexpr const char* kWaylandConnectSymbol = "qpm_wayland_clipboard_connect";

struct WaylandWatcher {
    std::unique_ptr<IClipboard> clipboard; // null: none, the toolkit's clipboard serves
    const char* protocol = nullptr;
    std::string problem; // why the plug-in could not be loaded, or empty
};

// Loads the plug-in from its folder in the installed layout, relative to the program's own
// path, or else from beside the program (the build tree), and connects.
WaylandWatcher LoadWaylandClipboard(IClipboard& keyboard);
