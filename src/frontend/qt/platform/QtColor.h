// Colour values 0x00BBGGRR, as the Monitor stores and passes them, to Qt's colours and back.
#pragma once

#include "platform/Types.h"

#include <QColor>

inline QColor ToQColor(COLORREF color) {
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

inline COLORREF FromQColor(const QColor& color) {
    return RGB(static_cast<BYTE>(color.red()), static_cast<BYTE>(color.green()),
               static_cast<BYTE>(color.blue()));
}
