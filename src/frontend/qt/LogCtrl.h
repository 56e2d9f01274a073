// The activity log: a read-only text control of indented lines, each in its own colour, grouped
// in entries that each begin with a timestamp line. It keeps at most a fixed number of lines
// (the "LogMaxLines" preference, default kDefaultMaxLines): beyond it the oldest whole entries
// go, so that a Monitor resident for months does not grow without bound. Built on the
// plain-text editor, whose layout handles appending and dropping at the top in constant time
// per line; it still carries a character format (colour, font) per character.
#pragma once

#include "core/ActivityLog.h"
#include "core/LogRules.h"
#include "frontend/qt/LogMirror.h"

#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <cstdio>
#include <functional>
#include <memory>

class CWinApp;

class CLogCtrl : public QPlainTextEdit, public IActivityLog {
    Q_OBJECT
public:
    static constexpr int kDefaultMaxLines = LogRules::kDefaultMaxLines;

    explicit CLogCtrl(QWidget* parent = nullptr);

    // Sets the control up: read-only, default format, no wrapping, selection kept visible,
    // background and line limit from the profile (read once, here). Until it has run, appends
    // do nothing.
    void OnCreate(CWinApp& app);

    void AddTimeStamp() override;
    void AddLine(const char* text, COLORREF color) override;
    void AddFailure(const char* text) override;
    void Clear();
    void CopyAll();
    void CopySelection();

    // Every appended line is also written to `out` as plain text (null: nowhere), never waiting
    // for it to drain.
    void SetMirror(std::FILE* out);
    // Called with the text of every failure after its line is appended.
    void SetFailureNotice(std::function<void(const char*)> notice) {
        m_failureNotice = std::move(notice);
    }

    // The character format property holding the colour a line was given; the colour it is
    // drawn in follows from it for the background of the moment.
    static constexpr int kGivenColorProperty = QTextFormat::UserProperty;

    // The background "WinDef"/"RPanelBG" ask for; invalid when the system colour applies.
    static QColor ProfileBackground(CWinApp& app);
    // The most lines the log keeps: "LogMaxLines" when it is positive, else the default.
    static int ProfileMaxLines(CWinApp& app);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The colour a line given `given` is drawn in: readable on the log's background.
    COLORREF DrawnColor(COLORREF given) const;
    void Mirror(const QString& line);
    void ScrollToEnd();
    // Drops the first `drop` lines.
    void DropFirstLines(int drop);

    bool m_bCreated = false;
    bool m_bEntryStarts = false;
    CLogEntries m_entries;
    // The default format; every line is inserted with it and only its colour changed.
    QTextCharFormat m_cf;
    std::unique_ptr<CLogMirror> m_pMirror;
    // The background the lines' colours were last chosen for.
    QColor m_drawnOn;
    std::function<void(const char*)> m_failureNotice;
};
