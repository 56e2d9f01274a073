// Text colours that stay readable on whatever background a desktop theme gives: a colour is
// kept where it already reads well and otherwise made lighter or darker, never another hue.
#pragma once

#include "platform/Types.h"

// The contrast the text of a log or a dialog must reach against its background (WCAG AA for
// normal text).
constexpr double kMinimumTextContrast = 4.5;

// The WCAG contrast ratio of two colours, from 1 (the same) to 21 (black on white).
double ContrastRatio(COLORREF a, COLORREF b);

// `text` itself when it reaches kMinimumTextContrast on `background`; otherwise the colour of
// the same hue and saturation whose lightness is nearest to the text's and reaches it.
COLORREF ReadableTextColor(COLORREF text, COLORREF background);
