#include "Json.h"

#include <cstdio>

namespace ctl {

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            // Keep well-formed UTF-8; any other byte becomes the replacement character.
            const int len = (c & 0xE0) == 0xC0   ? 2
                            : (c & 0xF0) == 0xE0 ? 3
                            : (c & 0xF8) == 0xF0 ? 4
                                                 : 0;
            bool ok = len > 0 && i + len <= s.size();
            for (int k = 1; ok && k < len; ++k) {
                ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
            }
            if (ok) {
                out.append(s, i, static_cast<std::size_t>(len));
                i += static_cast<std::size_t>(len) - 1;
            } else {
                out += "\\ufffd";
            }
        }
    }
    return out + "\"";
}

} // namespace ctl
