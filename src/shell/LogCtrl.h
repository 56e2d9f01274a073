// The activity log: a read-only rich-text control of indented, coloured lines.
#pragma once

#include "shell/ActivityLog.h"

#include <QTextEdit>

class CWinApp;

class CLogCtrl : public QTextEdit, public IActivityLog {
    Q_OBJECT
public:
    explicit CLogCtrl(QWidget* parent = nullptr);

    // Sets the control up: read-only, default format, background from the profile.
    void OnCreate(CWinApp& app);

    void AddTimeStamp() override;
    void AddLine(const char* text, COLORREF color) override;
    void Clear();
    void CopyAll();
    void CopySelection();
};
