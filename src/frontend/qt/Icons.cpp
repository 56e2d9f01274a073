#include "frontend/qt/Icons.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

QIcon LoadAppIcon(int id) {
    const char* name = nullptr;
    switch (id) {
    case IconId::Program:
        name = ":/icons/program.svg";
        break;
    case IconId::Tray:
        name = ":/icons/tray.svg";
        break;
    case IconId::Window:
        name = ":/icons/window.svg";
        break;
    default:
        return {};
    }
    const QString path = QString::fromLatin1(name);
    // Rendered here rather than through an icon-engine plugin, which may not be installed.
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        return {};
    }
    QIcon icon;
    const int sizes[] = {16, 24, 32, 48, 64};
    for (int size : sizes) {
        if (id != IconId::Program && size > 32) {
            break;
        }
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
