#include "platform/qt/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

std::string CQtClipboard::GetText() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return {};
    }
    return clipboard->text(QClipboard::Clipboard).toStdString();
}

bool CQtClipboard::IsControlKeyDown() {
    return (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) != 0;
}
