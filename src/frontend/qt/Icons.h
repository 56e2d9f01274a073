// The program's icons, drawn as SVG and compiled in: 128 the program, 132 the tray, 133 the
// window.
#pragma once

#include <QIcon>

namespace IconId {
constexpr int Program = 128;
constexpr int Tray = 132;
constexpr int Window = 133;
} // namespace IconId

// The icon rendered at 16 and 32 pixels (and larger for the program icon); a null icon for an
// unknown id.
QIcon LoadAppIcon(int id);
