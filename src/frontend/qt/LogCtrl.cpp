#include "frontend/qt/LogCtrl.h"

#include "app/MonitorApp.h"
#include "core/LogRules.h"
#include "frontend/qt/platform/QtColor.h"
#include "platform/Contrast.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <vector>

namespace {

QFont LogFont() {
    const QString classic = QStringLiteral("MS Sans Serif");
    if (QFontDatabase::hasFamily(classic)) {
        QFont font(classic);
        font.setPointSize(8);
        return font;
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

} // namespace

CLogCtrl::CLogCtrl(QWidget* parent) : QPlainTextEdit(parent) {}

QColor CLogCtrl::ProfileBackground(CWinApp& app) {
    const std::optional<COLORREF> color = LogRules::ProfileBackground(app);
    return color ? ToQColor(*color) : QColor();
}

int CLogCtrl::ProfileMaxLines(CWinApp& app) {
    return LogRules::ProfileMaxLines(app);
}

void CLogCtrl::OnCreate(CWinApp& app) {
    setReadOnly(true);
    // Read-only still lets the keyboard move the caret and select (Shift+arrows, Ctrl+Home,
    // Ctrl+End), so that a selection can be copied without a mouse.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The log has no menu of its own; a right click goes to the main window.
    setContextMenuPolicy(Qt::NoContextMenu);

    const QFont font = LogFont();
    document()->setDefaultFont(font);
    setFont(font);
    m_cf = QTextCharFormat();
    m_cf.setFont(font);
    m_cf.setFontWeight(QFont::Normal);
    m_cf.setFontItalic(false);
    m_cf.setFontUnderline(false);
    m_cf.setFontStrikeOut(false);
    m_cf.setForeground(ToQColor(LogColor::Black));
    setCurrentCharFormat(m_cf);

    QPalette pal = palette();
    // Keep the selection as visible without the focus as with it.
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    }
    const QColor background = ProfileBackground(app);
    if (background.isValid()) {
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            pal.setColor(group, QPalette::Base, background);
        }
    }
    setPalette(pal);
    m_entries.SetMaxLines(ProfileMaxLines(app));
    m_bCreated = true;
}

void CLogCtrl::AddTimeStamp() {
    m_bEntryStarts = true;
    AddLine(LogRules::TimeStampText().c_str(), LogColor::Navy);
}

void CLogCtrl::AddFailure(const char* text) {
    AddLine(text, LogColor::Maroon);
    if (m_bCreated && text != nullptr && m_failureNotice) {
        m_failureNotice(text);
    }
}

void CLogCtrl::AddLine(const char* text, COLORREF color) {
    if (!m_bCreated) {
        return;
    }
    // Invalid UTF-8 is replaced, never dropped.
    const QString line = QString::fromUtf8(LogRules::LineText(text));

    QTextCharFormat format = m_cf;
    format.setProperty(kGivenColorProperty, static_cast<uint>(color));
    format.setForeground(ToQColor(DrawnColor(color)));
    format.setFontWeight(QFont::Normal);
    format.setFontUnderline(false);

    // Inserting at the document's end with an explicit format colours exactly this line. The
    // caret ends at the end, so a selection the user made is dropped; a caret already at the end
    // moves along by itself, which spares the control a cursor update per line.
    const QTextCursor caret = textCursor();
    const bool moveCaret = caret.hasSelection() || !caret.atEnd();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(line, format);
    const int lines = static_cast<int>(line.count(QLatin1Char('\n')));
    // The document ends with an empty block after the last line end.
    DropFirstLines(m_entries.Added(lines, m_bEntryStarts, document()->blockCount() - 1));
    m_bEntryStarts = false;
    if (moveCaret) {
        setTextCursor(cursor);
    }
    // Hidden in the tray nobody sees the view; it catches up when shown.
    if (isVisible()) {
        ScrollToEnd();
    }

    Mirror(line);
}

COLORREF CLogCtrl::DrawnColor(COLORREF given) const {
    return ReadableTextColor(given, FromQColor(palette().color(QPalette::Base)));
}

void CLogCtrl::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (event->type() != QEvent::PaletteChange) {
        return;
    }
    const QColor background = palette().color(QPalette::Base);
    if (background == m_drawnOn) {
        return;
    }
    m_drawnOn = background;
    // The theme changed under the log: every line is drawn again for the new background. The
    // fragments are gathered first, since recolouring one may merge it with its neighbours.
    struct Recolour {
        int from;
        int to;
        QColor color;
    };
    std::vector<Recolour> changes;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (!format.hasProperty(kGivenColorProperty)) {
                continue;
            }
            const QColor drawn =
                ToQColor(DrawnColor(format.property(kGivenColorProperty).toUInt()));
            if (format.foreground().color() != drawn) {
                changes.push_back(
                    {fragment.position(), fragment.position() + fragment.length(), drawn});
            }
        }
    }
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (const Recolour& change : changes) {
        QTextCharFormat format;
        format.setForeground(change.color);
        cursor.setPosition(change.from);
        cursor.setPosition(change.to, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
    }
    cursor.endEditBlock();
}

void CLogCtrl::DropFirstLines(int drop) {
    if (drop <= 0) {
        return;
    }
    QTextCursor cursor(document());
    cursor.setPosition(document()->findBlockByNumber(drop).position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void CLogCtrl::ScrollToEnd() {
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    horizontalScrollBar()->setValue(0);
}

void CLogCtrl::showEvent(QShowEvent* event) {
    QPlainTextEdit::showEvent(event);
    ScrollToEnd();
    // Lines added while hidden are laid out only after this: the newest would be cut off.
    QTimer::singleShot(0, this, &CLogCtrl::ScrollToEnd);
}

void CLogCtrl::SetMirror(std::FILE* out) {
    m_pMirror = out != nullptr ? std::make_unique<CLogMirror>(out) : nullptr;
}

void CLogCtrl::Mirror(const QString& line) {
    if (!m_pMirror) {
        return;
    }
    // A terminal must not receive control sequences from copied text.
    QString plain = line;
    for (QChar& ch : plain) {
        const char16_t u = ch.unicode();
        if ((u < 0x20 && u != u'\n' && u != u'\t') || (u >= 0x7F && u < 0xA0)) {
            ch = QLatin1Char('?');
        }
    }
    m_pMirror->Write(plain.toStdString());
}

void CLogCtrl::Clear() {
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    setTextCursor(cursor);
    m_entries.Clear();
}

void CLogCtrl::CopyAll() {
    selectAll();
    copy();
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
}

void CLogCtrl::CopySelection() {
    copy();
}
