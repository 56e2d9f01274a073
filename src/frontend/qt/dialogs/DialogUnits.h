// Dialog units to pixels: the controls keep the sizes and relative positions of the dialog
// templates whatever font the desktop gives us.
#pragma once

#include <QFont>
#include <QRect>

class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);

    int X(int dluX) const { return dluX * m_baseX / 4; }
    int Y(int dluY) const { return dluY * m_baseY / 8; }
    QRect Rect(int x, int y, int width, int height) const {
        return QRect(X(x), Y(y), X(width), Y(height));
    }

private:
    int m_baseX;
    int m_baseY;
};
