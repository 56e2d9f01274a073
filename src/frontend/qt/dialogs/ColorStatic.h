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
    // Text in m_crText on cells of m_crBack; the rest of the control is left unpainted. Where
    // m_crText would be hard to read on what is behind it, a lighter or darker shade of it.
    void paintEvent(QPaintEvent* event) override;
    // The cells keep the colour of button faces when the desktop's colours change.
    void changeEvent(QEvent* event) override;
};
