#include "shell/LogCtrl.h"

#include "platform/Time.h"

#include <QTextCursor>

CLogCtrl::CLogCtrl(QWidget* parent) : QTextEdit(parent) {}

void CLogCtrl::OnCreate(CWinApp&) {
    setReadOnly(true);
    setLineWrapMode(QTextEdit::NoWrap);
}

void CLogCtrl::AddTimeStamp() {
    AddLine(CTime::GetCurrentTime().Format("%I:%M%p %B %d, %Y").c_str(), LogColor::Navy);
}

void CLogCtrl::AddLine(const char* text, COLORREF color) {
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(QColor(GetRValue(color), GetGValue(color), GetBValue(color)));
    cursor.insertText(QStringLiteral("  ") + QString::fromUtf8(text) + QStringLiteral("\n"),
                      format);
}

void CLogCtrl::Clear() {
    clear();
}

void CLogCtrl::CopyAll() {
    selectAll();
    copy();
    moveCursor(QTextCursor::End);
}

void CLogCtrl::CopySelection() {
    copy();
}
