#include "frontend/qt/dialogs/ColorStatic.h"

#include "frontend/qt/platform/QtColor.h"
#include "platform/Contrast.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>

CColorStatic::CColorStatic(QWidget* parent)
    : QLabel(parent), m_crText(FromQColor(palette().color(QPalette::Active, QPalette::Text))),
      m_crBack(FromQColor(palette().color(QPalette::Active, QPalette::Button))), m_nBkMode(OPAQUE) {
    setTextFormat(Qt::PlainText);
}

CColorStatic::~CColorStatic() = default;

void CColorStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = contentsRect();
    const int flags = static_cast<int>(alignment()) | Qt::TextSingleLine;
    if (m_nBkMode == OPAQUE) {
        const QRect cells = style()->itemTextRect(fontMetrics(), area, flags, true, text());
        painter.fillRect(cells, ToQColor(m_crBack));
    }
    // Without cells of its own the text lies on the dialog's background.
    const COLORREF back = m_nBkMode == OPAQUE
                              ? m_crBack
                              : FromQColor(palette().color(QPalette::Active, QPalette::Window));
    painter.setPen(ToQColor(ReadableTextColor(m_crText, back)));
    painter.drawText(area, flags, text());
}

void CColorStatic::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        m_crBack = FromQColor(palette().color(QPalette::Active, QPalette::Button));
        update();
    }
}
