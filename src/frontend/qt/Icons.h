// The program's icons, drawn as SVG (src/res) and compiled in as pictures rendered from them at
// each size offered (scripts/make-icons.sh): 132 the tray, 133 the window. (The program's own
// icon is the desktop's, installed from src/res.)
#pragma once

#include <QIcon>

namespace IconId {
constexpr int Tray = 132;
constexpr int Window = 133;
} // namespace IconId

// The icon at 16, 24 and 32 pixels; a null icon for an unknown id.
QIcon LoadAppIcon(int id);
