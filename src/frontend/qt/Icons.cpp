#include "frontend/qt/Icons.h"

#include <QDir>

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
    // Every size scripts/make-icons.sh made (NAME-SIZE.png), each read from its file only once
    // it is drawn at that size: a screen at twice the scale gets a picture, not an upscaled one.
    // Matched by hand: a name filter would compile a regular expression, and with it load
    // a library the idle Monitor otherwise never touches.
    QIcon icon;
    const QString prefix = QLatin1String(name) + QLatin1Char('-');
    const QDir icons(QStringLiteral(":/icons"));
    for (const QString& file : icons.entryList(QDir::Files)) {
        if (!file.startsWith(prefix) || !file.endsWith(QLatin1String(".png"))) {
            continue;
        }
        const int size = file.mid(prefix.size()).chopped(4).toInt();
        icon.addFile(icons.filePath(file), QSize(size, size));
    }
    return icon;
}
