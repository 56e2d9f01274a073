// A static text whose colours are its own rather than the palette's: the countdown line of
// the timed choice dialog stays readable whatever colours the desktop uses for text.
#pragma once

#include "platform/Types.h"

#include <QLabel>

class CColorStatic : public QLabel {
    Q_OBJECT
public:
    static constexpr int TRANSPARENT = 1;
    static constexpr int OPAQUE = 2;

    explicit CColorStatic(QWidget* parent = nullptr);
    ~CColorStatic() override;

    // Takes effect at the next repaint.
    void SetTextColor(COLORREF crText) { m_crText = crText; }

    COLORREF m_crText;
    COLORREF m_crBack;
    int m_nBkMode;

protected:
    // Text in m_crText on cells of m_crBack; the rest of the control is left unpainted.
    void paintEvent(QPaintEvent* event) override;
};

QColor ToQColor(COLORREF color);
COLORREF FromQColor(const QColor& color);
