#include "platform/Contrast.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// x^0.4 as the fifth root of x^2, by Newton's method: exact to the last bits for x in (0, 1],
// and usable at compile time.
constexpr double PowTwoFifths(double x) {
    const double a = x * x;
    double y = 1.0;
    for (int i = 0; i < 40; ++i) {
        const double y2 = y * y;
        y = (4.0 * y + a / (y2 * y2)) / 5.0;
    }
    return y;
}

// The sRGB transfer function for each of the 256 channel values, made at compile time: a
// pow() at run time would make every process that shows a log line page in the maths
// library's tables for one small table of its own.
constexpr auto kLinear = [] {
    std::array<double, 256> table{};
    for (int value = 0; value < 256; ++value) {
        const double c = value / 255.0;
        const double base = (c + 0.055) / 1.055;
        table[value] = c <= 0.04045 ? c / 12.92 : base * base * PowTwoFifths(base);
    }
    return table;
}();

double LinearChannel(BYTE value) {
    return kLinear[value];
}

double Luminance(COLORREF color) {
    return 0.2126 * LinearChannel(GetRValue(color)) + 0.7152 * LinearChannel(GetGValue(color)) +
           0.0722 * LinearChannel(GetBValue(color));
}

struct Hsl {
    double hue; // 0 to 6, in sixths of the colour circle
    double saturation;
    double lightness;
};

Hsl ToHsl(COLORREF color) {
    const double r = GetRValue(color) / 255.0;
    const double g = GetGValue(color) / 255.0;
    const double b = GetBValue(color) / 255.0;
    const double high = std::max({r, g, b});
    const double low = std::min({r, g, b});
    const double chroma = high - low;
    Hsl hsl{0.0, 0.0, (high + low) / 2};
    if (chroma <= 0.0) {
        return hsl;
    }
    hsl.saturation = chroma / (1.0 - std::fabs(2.0 * hsl.lightness - 1.0));
    if (high == r) {
        hsl.hue = std::fmod((g - b) / chroma + 6.0, 6.0);
    } else if (high == g) {
        hsl.hue = (b - r) / chroma + 2.0;
    } else {
        hsl.hue = (r - g) / chroma + 4.0;
    }
    return hsl;
}

COLORREF FromHsl(const Hsl& hsl) {
    const double chroma = (1.0 - std::fabs(2.0 * hsl.lightness - 1.0)) * hsl.saturation;
    const double x = chroma * (1.0 - std::fabs(std::fmod(hsl.hue, 2.0) - 1.0));
    const int sector = static_cast<int>(hsl.hue) % 6;
    const double rgb[6][3] = {{chroma, x, 0}, {x, chroma, 0}, {0, chroma, x},
                              {0, x, chroma}, {x, 0, chroma}, {chroma, 0, x}};
    const double base = hsl.lightness - chroma / 2;
    auto byte = [&](double v) {
        return static_cast<BYTE>(std::clamp(std::lround((v + base) * 255.0), 0L, 255L));
    };
    return RGB(byte(rgb[sector][0]), byte(rgb[sector][1]), byte(rgb[sector][2]));
}

// The colour nearest to `hsl` on the way to black (`target` 0) or white (1) that reaches the
// contrast on `background`, and how far its lightness moved; none when not even the end does.
// Luminance changes with lightness in one direction only, so the answer is found by halving.
bool Nearest(const Hsl& hsl, double target, COLORREF background, COLORREF* found, double* moved) {
    auto at = [&](double step) {
        Hsl candidate = hsl;
        candidate.lightness += (target - hsl.lightness) * step;
        return FromHsl(candidate);
    };
    // Only text on this side of the background counts: lighter above it, darker below.
    const bool towardsWhite = target > 0.5;
    auto reads = [&](COLORREF c) {
        return ContrastRatio(c, background) >= kMinimumTextContrast &&
               (Luminance(c) > Luminance(background)) == towardsWhite;
    };
    if (!reads(at(1.0))) {
        return false;
    }
    double near = 0.0;
    double far = 1.0;
    for (int i = 0; i < 24; ++i) {
        const double mid = (near + far) / 2;
        (reads(at(mid)) ? far : near) = mid;
    }
    *found = at(far);
    *moved = std::fabs(target - hsl.lightness) * far;
    return true;
}

} // namespace

double ContrastRatio(COLORREF a, COLORREF b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

COLORREF ReadableTextColor(COLORREF text, COLORREF background) {
    if (ContrastRatio(text, background) >= kMinimumTextContrast) {
        return text;
    }
    // Black and white end every hue, and one of them always reaches the ratio: their two
    // contrasts on any background multiply to 21.
    const Hsl hsl = ToHsl(text);
    COLORREF lighter = text;
    COLORREF darker = text;
    double lighterMove = 2.0;
    double darkerMove = 2.0;
    Nearest(hsl, 1.0, background, &lighter, &lighterMove);
    Nearest(hsl, 0.0, background, &darker, &darkerMove);
    return lighterMove <= darkerMove ? lighter : darker;
}
