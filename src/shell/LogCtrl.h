// The activity log: a read-only text control of indented lines, each in its own colour, that
// only grows until the user clears it. Built on the plain-text editor, whose layout handles
// appending to a log of a hundred thousand lines in constant time per line; it still carries a
// character format (colour, font) per character.
#pragma once

#include "shell/ActivityLog.h"

#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <cstdio>

class CWinApp;

class CLogCtrl : public QPlainTextEdit, public IActivityLog {
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

    // The character format property holding the colour a line was given; the colour it is
    // drawn in follows from it for the background of the moment.
    static constexpr int kGivenColorProperty = QTextFormat::UserProperty;

    // The background "WinDef"/"RPanelBG" ask for; invalid when the system colour applies.
    static QColor ProfileBackground(CWinApp& app);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The colour a line given `given` is drawn in: readable on the log's background.
    COLORREF DrawnColor(COLORREF given) const;
    void Mirror(const QString& line);
    void ScrollToEnd();

    bool m_bCreated = false;
    // The default format; every line is inserted with it and only its colour changed.
    QTextCharFormat m_cf;
    std::FILE* m_pMirror = nullptr;
    // The background the lines' colours were last chosen for.
    QColor m_drawnOn;
};
