#include "urlmon/FtpUrl.h"

#include <cstddef>
#include <string>

namespace {

using std::string_view;

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c - 'A' + 10;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsAsciiAlnum(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. U+FFFD counts as
// invalid too when `refuseReplacement` is set.
bool IsValidUtf8(string_view s, bool refuseReplacement) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        unsigned int codePoint;
        unsigned int minimum;
        if ((c & 0xE0) == 0xC0) {
            length = 2;
            codePoint = c & 0x1F;
            minimum = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            codePoint = c & 0x0F;
            minimum = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            codePoint = c & 0x07;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (s.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        if (codePoint < minimum || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF) ||
            (refuseReplacement && codePoint == 0xFFFD)) {
            return false;
        }
        i += length;
    }
    return true;
}

// Decodes %XX escapes into `out`; false for a malformed escape or one that gives a control.
bool Decode(string_view s, std::string* out) {
    out->clear();
    out->reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out->push_back(s[i]);
            continue;
        }
        if (s.size() - i < 3 || !IsHexDigit(s[i + 1]) || !IsHexDigit(s[i + 2])) {
            return false;
        }
        const auto byte = static_cast<unsigned char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
        if (IsControl(byte)) {
            return false;
        }
        out->push_back(static_cast<char>(byte));
        i += 2;
    }
    return true;
}

// Four decimal parts 0..255 without leading zeros.
bool IsIpv4(string_view s) {
    int parts = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = s.find('.', start);
        const string_view part = s.substr(start, dot == string_view::npos ? s.npos : dot - start);
        if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0')) {
            return false;
        }
        int value = 0;
        for (char c : part) {
            if (!IsDigit(c)) {
                return false;
            }
            value = value * 10 + (c - '0');
        }
        if (value > 255) {
            return false;
        }
        ++parts;
        if (dot == string_view::npos) {
            break;
        }
        start = dot + 1;
    }
    return parts == 4;
}

// Counts the 16-bit groups of a run like "1:2:abcd" (an IPv4 tail counts two); false when a
// group is malformed. An empty run has no group.
bool CountIpv6Groups(string_view s, bool allowIpv4Tail, int* groups) {
    *groups = 0;
    if (s.empty()) {
        return true;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t colon = s.find(':', start);
        const bool last = colon == string_view::npos;
        const string_view group = s.substr(start, last ? s.npos : colon - start);
        if (last && allowIpv4Tail && group.find('.') != string_view::npos) {
            if (!IsIpv4(group)) {
                return false;
            }
            *groups += 2;
            return true;
        }
        if (group.empty() || group.size() > 4) {
            return false;
        }
        for (char c : group) {
            if (!IsHexDigit(c)) {
                return false;
            }
        }
        ++*groups;
        if (last) {
            return true;
        }
        start = colon + 1;
    }
}

bool IsIpv6(string_view s) {
    const std::size_t gap = s.find("::");
    int head = 0;
    int tail = 0;
    if (gap == string_view::npos) {
        return CountIpv6Groups(s, true, &head) && head == 8;
    }
    if (s.find("::", gap + 1) != string_view::npos) {
        return false;
    }
    return CountIpv6Groups(s.substr(0, gap), false, &head) &&
           CountIpv6Groups(s.substr(gap + 2), true, &tail) && head + tail <= 7;
}

bool IsHostName(string_view raw) {
    std::string name;
    if (raw.empty() || !Decode(raw, &name) || !IsValidUtf8(name, true)) {
        return false;
    }
    bool hasWordCharacter = false;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || IsAsciiAlnum(c)) {
            hasWordCharacter = true;
        } else if (c != '-' && c != '.' && c != '_' && c != '~') {
            return false;
        }
    }
    return hasWordCharacter;
}

// Empty means the default port.
bool IsPort(string_view s) {
    long value = 0;
    for (char c : s) {
        if (!IsDigit(c)) {
            return false;
        }
        value = value * 10 + (c - '0');
        if (value > 65535) {
            return false;
        }
    }
    return s.empty() || value > 0;
}

bool IsHostAndPort(string_view s) {
    if (!s.empty() && s[0] == '[') {
        const std::size_t close = s.find(']');
        if (close == string_view::npos || !IsIpv6(s.substr(1, close - 1))) {
            return false;
        }
        const string_view rest = s.substr(close + 1);
        return rest.empty() || (rest[0] == ':' && IsPort(rest.substr(1)));
    }
    const std::size_t colon = s.find(':');
    if (colon == string_view::npos) {
        return IsHostName(s);
    }
    return IsHostName(s.substr(0, colon)) && IsPort(s.substr(colon + 1));
}

bool StartsWithFtpScheme(string_view s) {
    if (s.size() < 6) {
        return false;
    }
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(s[0]) == 'f' && lower(s[1]) == 't' && lower(s[2]) == 'p' &&
           s.substr(3, 3) == "://";
}

} // namespace

bool IsFtpUrl(string_view text) {
    if (!StartsWithFtpScheme(text) || !IsValidUtf8(text, true)) {
        return false;
    }
    for (char c : text) {
        if (c == ' ' || IsControl(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    // Every escape in the text must be well formed, also those the checks below do not read.
    std::string decoded;
    if (!Decode(text, &decoded)) {
        return false;
    }

    const string_view rest = text.substr(6);
    const string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    string_view hostAndPort = authority;
    const std::size_t at = authority.rfind('@');
    if (at != string_view::npos) {
        const string_view userInfo = authority.substr(0, at);
        if (userInfo.empty() || userInfo[0] == ':') {
            return false;
        }
        hostAndPort = authority.substr(at + 1);
    }
    return IsHostAndPort(hostAndPort);
}
