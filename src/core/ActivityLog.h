// The activity log as the monitors and flows see it: entries of a timestamp line followed by
// indented, coloured lines. The GUI's log control implements it.
#pragma once

#include "platform/Types.h"

namespace LogColor {
constexpr COLORREF Navy = 0x800000;
constexpr COLORREF Green = 0x8000;
constexpr COLORREF Black = 0;
constexpr COLORREF Maroon = 0x80;
} // namespace LogColor

class IActivityLog {
public:
    virtual ~IActivityLog() = default;
    // Appends the current local time as a navy line.
    virtual void AddTimeStamp() = 0;
    // Appends "  <text>\r\n" in the colour (0x00BBGGRR); the text is shown literally.
    virtual void AddLine(const char* text, COLORREF color) = 0;
    // Appends a failure the user must learn of even without opening the window: a maroon
    // line, which the GUI also shows as a notification while it sits in the tray.
    virtual void AddFailure(const char* text) { AddLine(text, LogColor::Maroon); }
};
