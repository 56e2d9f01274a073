// The activity log: a read-only rich-text control of indented, coloured lines that only grows
// until the user clears it.
#pragma once

#include "shell/ActivityLog.h"

#include <QTextCharFormat>
#include <QTextEdit>
#include <cstdio>

class CWinApp;

class CLogCtrl : public QTextEdit, public IActivityLog {
    Q_OBJECT
public:
    explicit CLogCtrl(QWidget* parent = nullptr);

    // Sets the control up: read-only, default format, no wrapping, selection kept visible,
    // background from the profile (read once, here). Until it has run, appends do nothing.
    void OnCreate(CWinApp& app);

    void AddTimeStamp() override;
    void AddLine(const char* text, COLORREF color) override;
    void Clear();
    void CopyAll();
    void CopySelection();

    // Every appended line is also written to `out` as plain text (null: nowhere).
    void SetMirror(std::FILE* out) { m_pMirror = out; }

    // The background "WinDef"/"RPanelBG" ask for; invalid when the system colour applies.
    static QColor ProfileBackground(CWinApp& app);

private:
    void Mirror(const QString& line);

    bool m_bCreated = false;
    // The default format; every line is inserted with it and only its colour changed.
    QTextCharFormat m_cf;
    std::FILE* m_pMirror = nullptr;
};
