#include "frontend/qt/Icons.h"

QIcon LoadAppIcon(int id) {
    const char* name = nullptr;
    switch (id) {
    case IconId::Tray:
        name = "tray";
        break;
    case IconId::Window:
        name = "window";
        break;
    default:
        return {};
    }
    // Each size read from its file only once it is drawn at that size.
    QIcon icon;
    for (const int size : {16, 24, 32}) {
        icon.addFile(QStringLiteral(":/icons/%1-%2.png").arg(QLatin1String(name)).arg(size),
                     QSize(size, size));
    }
    return icon;
}
