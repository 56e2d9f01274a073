#include "frontend/qt/platform/WindowState.h"

#include <QGuiApplication>
#include <QWindow>

#ifdef QPM_X11
#include "frontend/qt/x11/X11.h"
#endif

void AskToShowMinimized([[maybe_unused]] QWindow& window) {
#ifdef QPM_X11
    // Other platforms may offer an X connection of their own (offscreen does) that shows nothing.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || x11 == nullptr ||
        x11->connection() == nullptr) {
        return;
    }
    // On the toolkit's own connection, so that it comes before the toolkit's request to show.
    X11AskToMapIconic(x11->connection(), static_cast<std::uint32_t>(window.winId()));
#endif
}
