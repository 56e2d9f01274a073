// Dialogs modal to the windows they belong to and to no others.
#pragma once

#include <QDialog>

// Runs `dialog` like exec(), but blocking only its owners: one without a parent blocks no other
// window. The icon in the notification area is a window of its own and keeps answering while a
// question asked from it is open.
inline int ExecModalToOwners(QDialog& dialog) {
    dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec();
}
