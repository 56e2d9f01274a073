#include "resume/ColorStatic.h"

#include <QPainter>
#include <QStyle>

QColor ToQColor(COLORREF color) {
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

COLORREF FromQColor(const QColor& color) {
    return RGB(static_cast<BYTE>(color.red()), static_cast<BYTE>(color.green()),
               static_cast<BYTE>(color.blue()));
}

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
    painter.setPen(ToQColor(m_crText));
    painter.drawText(area, flags, text());
}
